#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace global {

// The folders of "Dravelin\Dravelin Tidewell" below the shell's folder: the part of a data
// folder's path that the removal passes open one by one and check for links.
constexpr int kUserDataCheckedLevels = 2;

bool FolderExists(const std::wstring& path);

// The product's data folder for all users, without a trailing backslash, or empty when the
// shell's base folder cannot be found. Whether the data folder exists is not tested.
std::wstring GetUserDataFolder();

// The same for a given Windows major version, the shell's answer for the base folder that
// version uses (common documents from Vista on, common application data before) and the
// Windows folder.
std::wstring UserDataFolderFor(DWORD majorVersion, std::wstring_view shellFolder,
                               std::wstring_view windowsFolder);

}  // namespace global
