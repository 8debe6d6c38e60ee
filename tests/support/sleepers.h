#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/child_process.h"

namespace testenv {

// Copies the sleeper (the 64-bit build when x64) to path, unless a copy there is running, and
// starts it there. Returns once the
// process has started up: listed in the process table and, for a 32-bit one, with its image
// path readable. A failed start gives a ChildProcess that is not started().
ChildProcess StartSleeperAs(const std::wstring& path, bool x64 = false);

// Ends the child, drops its handle and waits until its id opens nothing any more (Wine keeps
// an ended process openable for a moment after its last handle is closed). False when it
// stays openable.
bool EndAndWaitUntilGone(ChildProcess& child);

// Process ids in the order of the system's process table (from a toolhelp snapshot).
std::vector<DWORD> ProcessTableOrder();

// Which of the ids the process table lists first; 0 when it lists none.
DWORD FirstListed(const std::vector<DWORD>& ids);

}  // namespace testenv
