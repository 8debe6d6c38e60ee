#include "app/commands.h"

#include <windows.h>

#include "app/apptools2.h"
#include "app/command_word.h"
#include "process/lookup.h"
#include "system/command_runner.h"

namespace app {

std::wstring CommandWord;
std::wstring WorkString;

void RunUninstall() {
  WorkString = L"sc delete KorvaS";
  apptools2::RunCommandAndWait(WorkString, apptools2::ProgramFolder, SW_HIDE);
  // Held to the end: each keeps its terminate handle open until then.
  const auto mainProgram = process::FindProcess("TW6.exe");
  mainProgram->Terminate(0);
  const auto loggers = process::FindProcesses("TW6Log.exe");
  loggers->Terminate(0);
  const auto guards = process::FindProcesses("TW6Guard.exe");
  guards->Terminate(0);
  ::Sleep(250);
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
