#pragma once

#include <string_view>

namespace apptools2 {

// Runs commandLine hidden in a console of its own, waits for it without limit and returns its
// exit code, or -1 when it could not be started.
int RunCommandAndWait(std::wstring_view commandLine, std::wstring_view currentDirectory,
                      unsigned short showState);

}  // namespace apptools2
