#include "app/commands.h"

#include <windows.h>

#include "env/apptools2.h"
#include "app/command_word.h"
#include "disk/disk.h"
#include "disk/user_data.h"
#include "process/debug_privilege.h"
#include "process/lookup.h"
#include "driver/Treiber_IFS.h"
#include "ipc/IPCClient.h"
#include "shell/autorun.h"
#include "shell/contextmenusupport.h"
#include "system/Services.h"
#include "system/command_runner.h"
#include "win/entry_points.h"
#include "win/replaceable.h"

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
  IPCClient::NotifyGuard();
  // Held to the end: each keeps its terminate handle open until then.
  process::Ptr<process::IProcess> mainProgram;
  process::Ptr<process::IProcesses> loggers, guards;
  {
    // The product's processes of other users and sessions (and of SYSTEM) grant the terminate
    // right to their creators only; the privilege is needed for these opens and for no other step.
    const process::DebugPrivilegeScope debugPrivilege;
    mainProgram = process::FindProcess("TW6.exe");
    mainProgram->Terminate(0);
    loggers = process::FindProcesses("TW6Log.exe");
    loggers->Terminate(0);
    guards = process::FindProcesses("TW6Guard.exe");
    guards->Terminate(0);
  }
  ::Sleep(250);
  Treiber_IFS::Driver_Stop();
  Treiber_IFS::Driver_Uninstall();
  contextmenusupport::ContextMenu_Remove();
}

void RunInstall() {
  // Nothing a standard user could swap is registered: the driver is kernel code, and the verb
  // runs the logger for whoever uses it, administrators too. Only the program folder itself is
  // judged, not those above it: 2000's C:\ grants Everyone full control.
  const std::wstring& folder = apptools2::ProgramFolder;
  const bool folderReplaceable = win::Replaceable(folder, nullptr);
  const bool driverReplaceable =
      folderReplaceable ||
      win::Replaceable(folder, Treiber_IFS::DriverFile(apptools2::Is64BitWindows));
  const bool launcherReplaceable =
      folderReplaceable || win::Replaceable(folder, contextmenusupport::kLauncherFile);
  Treiber_IFS::Driver_Install(driverReplaceable);
  Treiber_IFS::Driver_Start(driverReplaceable);
  // A registration made earlier stays as it is; -UNINSTALL removes it.
  if (!launcherReplaceable) contextmenusupport::ContextMenu_Add();
}

namespace {

void RemoveTree(const std::wstring& folder, int checkedLevels) {
  disk::DeleteFilesInTree(folder, checkedLevels);
  disk::RemoveFolderTree(folder, checkedLevels);
}

}  // namespace

void RunDeleteAllUserData() {
  if (const auto coInitialize = win::LoadShellEntries().coInitialize) coInitialize(nullptr);
  std::wstring dataFolder = global::GetUserDataFolder();
  if (!dataFolder.empty()) {
    WorkString = dataFolder + L"\\";
    RemoveTree(WorkString, global::kUserDataCheckedLevels);
  }
  dataFolder = global::GetUserDataFolder();
  if (!dataFolder.empty()) {
    WorkString = dataFolder + L" 5\\";
    RemoveTree(WorkString, global::kUserDataCheckedLevels);
  }
  WorkString = apptools2::ProgramFolder + L"\\SnapShots";
  if (global::FolderExists(WorkString)) {
    WorkString += L"\\";
    RemoveTree(WorkString, 1);
  }
}

void RunRemoveAutorun() { global::RemoveGuardAutorun(); }

void Dispatch(std::wstring_view commandLine) {
  CommandWord = CommandWordFrom(commandLine);
  if (CommandWord == L"-UNINSTALL") RunUninstall();
  if (CommandWord == L"-INSTALL") RunInstall();
  if (CommandWord == L"-DELETEALLUSERDATA") RunDeleteAllUserData();
  if (CommandWord == L"-REMOVEAUTORUN") RunRemoveAutorun();
}

}  // namespace app
