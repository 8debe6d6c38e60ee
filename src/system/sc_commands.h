#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's own sc commands, carried out through the service control manager where the
// system has no sc.exe (stock Windows 2000).
namespace apptools2 {

// The arguments of a command line as the C runtime of a console program splits them.
std::vector<std::wstring> SplitArguments(std::wstring_view commandLine);

// True when the first word is "sc" or "sc.exe", in any letter case.
bool IsScCommand(std::wstring_view commandLine);

// Carries out the program's own command lines, exactly as it builds them (the driver service's
// create for the driver file in ProgramFolder, its start, stop and delete, and "sc delete
// KorvaS"), as the system's sc.exe does, and returns what it would exit with: 0, or the Win32
// error of the call that failed. -1 for any other line, which is left undone.
int RunScCommand(std::wstring_view commandLine);

}  // namespace apptools2
