#include "driver/Treiber_IFS.h"

#include <windows.h>

#include "env/apptools2.h"
#include "system/REG.h"
#include "system/command_runner.h"
#include "win/number_text.h"

namespace Treiber_IFS {

namespace {

constexpr std::wstring_view kServiceName = L"TW5IFS";
constexpr std::wstring_view kServicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";
constexpr std::wstring_view kDisplayName = L"Dravelin Tidewell FileSystemChanges Driver";
constexpr std::wstring_view kInstanceName = L"TW5Log Instance";
constexpr std::wstring_view kAltitude = L"265001";
constexpr std::wstring_view kLoadOrderGroup = L"FSFilter Content Screener";
constexpr std::wstring_view kFilterManager = L"FltMgr";

std::wstring ServiceKey(std::wstring_view serviceName) {
  return std::wstring(kServicesKey) + std::wstring(serviceName);
}

void Log(std::wstring_view tag, std::wstring_view text) {
  ::OutputDebugStringW((std::wstring(tag) + std::wstring(text)).c_str());
}

void LogExitCode(std::wstring_view tag, int exitCode) {
  Log(tag, L"errorcode=" + win::DecimalText(exitCode));
}

int RunSc(std::wstring_view commandLine) {
  return apptools2::RunCommandAndWait(commandLine, apptools2::ProgramFolder, SW_HIDE);
}

}  // namespace

std::wstring CreateCommandLine(std::wstring_view programFolder, bool is64BitWindows) {
  std::wstring command = L"sc.exe create TW5IFS type= filesys start= auto binPath= \"";
  command += programFolder;
  command += L'\\';
  command += DriverFile(is64BitWindows);
  command += L"\" DisplayName= \"";
  command += kDisplayName;
  command += L"\"";
  return command;
}

bool Driver_Install(bool fileReplaceable) {
  constexpr std::wstring_view tag = L"(TW Driver_Install) -> ";
  const std::wstring command =
      CreateCommandLine(apptools2::ProgramFolder, apptools2::Is64BitWindows);
  Log(tag, command);
  if (fileReplaceable) {
    LogExitCode(tag, ERROR_ACCESS_DENIED);
    return false;
  }
  const int exitCode = RunSc(command);
  LogExitCode(tag, exitCode);
  const bool keyExists = REG::RegistryKeyExists(HKEY_LOCAL_MACHINE, ServiceKey(kServiceName));
  // Also after a failed create: the writers make the keys the filter manager needs.
  Driver_WriteServiceKeys(kServiceName);
  return keyExists && exitCode == 0;
}

void Driver_WriteServiceKeys(std::wstring_view serviceName) {
  const std::wstring service = ServiceKey(serviceName);
  const std::wstring instances = service + L"\\Instances";
  const std::wstring instance = instances + L"\\" + std::wstring(kInstanceName);
  HKEY const root = HKEY_LOCAL_MACHINE;
  REG::RegistryWriteDword(root, service, L"Type", SERVICE_FILE_SYSTEM_DRIVER);
  REG::RegistryWriteDword(root, service, L"Start", SERVICE_AUTO_START);
  REG::RegistryWriteExpandString(root, service, L"DependOnGroup", L"");
  REG::RegistryWriteExpandString(root, service, L"DependOnService", kFilterManager);
  REG::RegistryWriteExpandString(root, service, L"Group", kLoadOrderGroup);
  REG::RegistryWriteString(root, instances, L"DefaultInstance", kInstanceName);
  REG::RegistryWriteDword(root, instance, L"Flags", 0);
  REG::RegistryWriteString(root, instance, L"Altitude", kAltitude);
}

void Driver_Start(bool fileReplaceable) {
  LogExitCode(L"(TW Driver_Start) -> ",
              fileReplaceable ? ERROR_ACCESS_DENIED : RunSc(L"sc.exe start TW5IFS"));
}

bool Driver_Stop() {
  const int exitCode = RunSc(L"sc.exe stop TW5IFS");
  LogExitCode(L"(TW Driver_Stop) -> ", exitCode);
  return exitCode == 0;
}

bool Driver_Uninstall() {
  constexpr std::wstring_view tag = L"(TW Driver_Uninstall) -> ";
  constexpr std::wstring_view command = L"sc.exe delete TW5IFS";
  Log(tag, command);
  LogExitCode(tag, RunSc(command));
  return !REG::RegistryKeyExists(HKEY_LOCAL_MACHINE, ServiceKey(kServiceName));
}

}  // namespace Treiber_IFS
