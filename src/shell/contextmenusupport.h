#pragma once

#include <string>
#include <string_view>

// The Explorer verb "tw5" on programs and installer packages, which opens the chosen file with
// the product's installation logger.
namespace contextmenusupport {

inline constexpr std::wstring_view ContextMenuCaption = L"Install with Dravelin Tidewell 5";

// The program in ProgramFolder that the verb runs.
inline constexpr wchar_t kLauncherFile[] = L"TW6Log.exe";
// "<programFolder>\TW6Log.exe" "%1", the path quoted so that blanks in it stay one argument.
std::wstring LaunchCommand(std::wstring_view programFolder);

// Writes the caption and the launch command (for ProgramFolder) as the verbs' default values.
void ContextMenu_Add();
// Deletes the verb keys with all their subkeys; the "shell" and file-class keys stay.
void ContextMenu_Remove();

}  // namespace contextmenusupport
