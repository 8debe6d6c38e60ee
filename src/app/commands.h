#pragma once

#include <string>
#include <string_view>

namespace app {

extern std::wstring CommandWord;
extern std::wstring WorkString;  // the text each command hands on: a command line, a folder

// -UNINSTALL's first steps: stop the legacy service "KorvaS" (request, poll, stop and wait)
// and mark it for deletion.
void TakeDownKorvaS();
void RunUninstall();
void RunInstall();
void RunDeleteAllUserData();
void RunRemoveAutorun();

// Reads the command word from commandLine and runs the one command it names, if any.
void Dispatch(std::wstring_view commandLine);

}  // namespace app
