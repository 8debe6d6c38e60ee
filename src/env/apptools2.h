#pragma once

#include <windows.h>

#include <string>

// Program-wide environment, computed once at start-up and read-only afterwards.
namespace apptools2 {

extern std::wstring ProgramFolder;  // folder of the running executable, no trailing backslash
extern std::wstring WindowsFolder;
extern bool Is64BitWindows;  // a 32-bit process under WOW64

void StartUp();

// True when the process is a 32-bit process under WOW64; false when IsWow64Process is missing
// or fails. Shared by the modules that keep a view flag of their own.
bool RunningUnderWow64();

// Folder part of a module path: everything before its last backslash.
std::wstring FolderOfPath(const std::wstring& path);

// The major version the system reports (5 for 2000 and XP, 6 and later from Vista on; 4 on
// the 9x family); 0 when it cannot be read.
DWORD WindowsMajorVersion();
// Major and minor version as 0xMMmm (0x0500 for 2000, 0x0501 for XP); 0 when it cannot be read.
DWORD WindowsVersion();

std::wstring GetCurrentUserName();
std::wstring GetSpecialFolderPath(int csidl);

}  // namespace apptools2
