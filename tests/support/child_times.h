#pragma once

#include <windows.h>

namespace testenv {

// The time from one FILETIME to a later one; 0 when it is not later.
double MillisecondsBetween(const FILETIME& from, const FILETIME& to);

// Whether the process's image is an sc.exe: a child started with a new console brings Wine's
// conhost.exe along, which the figures must not count.
bool IsScExe(HANDLE process);

}  // namespace testenv
