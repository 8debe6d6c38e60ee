#pragma once

#include <string>
#include <string_view>

// The product's file-system minifilter driver, registered as the service "TW5IFS". Every
// operation runs sc.exe hidden in ProgramFolder and reports on the debugger output only.
namespace Treiber_IFS {

// The sc.exe command line that creates the service for the driver file in programFolder.
std::wstring CreateCommandLine(std::wstring_view programFolder, bool is64BitWindows);

// True when the service key exists after "sc.exe create" and that command ended with 0.
bool Driver_Install();
// The filter manager's configuration of service serviceName: group, dependency, instance.
void Driver_WriteServiceKeys(std::wstring_view serviceName);

void Driver_Start();
bool Driver_Stop();  // true when "sc.exe stop" ended with 0
// True when the service key is gone afterwards, whatever "sc.exe delete" reported.
bool Driver_Uninstall();

}  // namespace Treiber_IFS
