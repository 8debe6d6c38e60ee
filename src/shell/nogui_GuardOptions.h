#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

// The guard process's default option set. This program only builds it at start-up; the guard
// reads and changes it.
namespace nogui_GuardOptions {

using NameList = std::vector<std::wstring>;  // in the order added, duplicates kept

extern std::array<bool, 4> GuardFlags;
// Each list is absent until the defaults create it.
extern std::unique_ptr<NameList> BrowserAndEditorNames;
extern std::unique_ptr<NameList> InstallerNamePatterns;
extern std::unique_ptr<NameList> RemovalNamePatterns;
extern std::unique_ptr<NameList> InstallerWords;
extern std::unique_ptr<NameList> ShellAndBrowserNames;

// Sets every flag; fills each list that does not exist yet and leaves existing ones unchanged.
void GuardOptions_SetDefaults();

void StartUp();

}  // namespace nogui_GuardOptions
