#pragma once

#include <string_view>

namespace app {

// The whole run behind the entry point: the error mode, start-up and the command, guarded.
// Returns the exit code.
int RunProgram(std::wstring_view commandLine);

}  // namespace app
