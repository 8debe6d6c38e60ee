#include "app/commands.h"

#include <windows.h>

#include "app/apptools2.h"
#include "app/command_word.h"
#include "driver/Treiber_IFS.h"
#include "shell/autorun.h"
#include "shell/contextmenusupport.h"
#include "system/Services.h"
#include "system/command_runner.h"

namespace app {

std::wstring CommandWord;
std::wstring WorkString;

void TakeDownKorvaS() {
  if (!Services::RequestServiceStop(L"", L"KorvaS")) {
    // The first test comes after the first sleep: between 250 ms and 5 s in all.
    for (int i = 0; i < 20; ++i) {
      ::Sleep(250);
      if (!Services::IsServiceRunning(L"", L"KorvaS")) break;
    }
  }
  if (Services::IsServiceRunning(L"", L"KorvaS")) {
    Services::StopServiceAndWait(L"", L"KorvaS");
    ::Sleep(250);
  }
  Services::RemoveService(L"", L"KorvaS");
}

void RunUninstall() {
  TakeDownKorvaS();
  WorkString = L"sc delete KorvaS";
  apptools2::RunCommandAndWait(WorkString, apptools2::ProgramFolder, SW_HIDE);
  Treiber_IFS::Driver_Stop();
  Treiber_IFS::Driver_Uninstall();
  contextmenusupport::ContextMenu_Remove();
}

void RunInstall() {
  Treiber_IFS::Driver_Install();
  Treiber_IFS::Driver_Start();
  contextmenusupport::ContextMenu_Add();
}

void RunDeleteAllUserData() {}

void RunRemoveAutorun() { global::RemoveGuardAutorun(); }

void Dispatch(std::wstring_view commandLine) {
  CommandWord = CommandWordFrom(commandLine);
  if (CommandWord == L"-UNINSTALL") RunUninstall();
  if (CommandWord == L"-INSTALL") RunInstall();
  if (CommandWord == L"-DELETEALLUSERDATA") RunDeleteAllUserData();
  if (CommandWord == L"-REMOVEAUTORUN") RunRemoveAutorun();
}

}  // namespace app
