#pragma once

#include <string>
#include <string_view>

// The product's file-system minifilter driver, registered as the service "TW5IFS". Every
// operation runs sc.exe hidden in ProgramFolder and reports on the debugger output only.
namespace Treiber_IFS {

// The name of the driver file in ProgramFolder for this system's bitness.
inline const wchar_t* DriverFile(bool is64BitWindows) {
  return is64BitWindows ? L"IFS64.sys" : L"IFS32.sys";
}
// The sc.exe command line that creates the service for the driver file in programFolder.
std::wstring CreateCommandLine(std::wstring_view programFolder, bool is64BitWindows);

// True when the service key exists after "sc.exe create" and that command ended with 0. A
// driver file that a standard user could replace is not registered: the command line is
// logged, then access denied (5) in place of its exit code, and nothing is run or written.
bool Driver_Install(bool fileReplaceable = false);
// The filter manager's configuration of service serviceName: group, dependency, instance.
void Driver_WriteServiceKeys(std::wstring_view serviceName);

// For a replaceable driver file, access denied (5) is logged and nothing is started.
void Driver_Start(bool fileReplaceable = false);
bool Driver_Stop();  // true when "sc.exe stop" ended with 0
// True when the service key is gone afterwards, whatever "sc.exe delete" reported.
bool Driver_Uninstall();

}  // namespace Treiber_IFS
