#include "app/commands.h"

#include <windows.h>

#include "app/apptools2.h"
#include "app/command_word.h"
#include "ipc/IPCClient.h"
#include "system/command_runner.h"

namespace app {

std::wstring CommandWord;
std::wstring WorkString;

void RunUninstall() {
  WorkString = L"sc delete KorvaS";
  apptools2::RunCommandAndWait(WorkString, apptools2::ProgramFolder, SW_HIDE);
  IPCClient::NotifyGuard();
}

void RunInstall() {}

void RunDeleteAllUserData() {}

void RunRemoveAutorun() {}

void Dispatch(std::wstring_view commandLine) {
  CommandWord = CommandWordFrom(commandLine);
  if (CommandWord == L"-UNINSTALL") RunUninstall();
  if (CommandWord == L"-INSTALL") RunInstall();
  if (CommandWord == L"-DELETEALLUSERDATA") RunDeleteAllUserData();
  if (CommandWord == L"-REMOVEAUTORUN") RunRemoveAutorun();
}

}  // namespace app
