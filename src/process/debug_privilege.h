#pragma once

#include <windows.h>

#include "win/unique_handle.h"

namespace process {

// Enables SeDebugPrivilege for the calling thread for the scope's lifetime, so that processes of
// other users and sessions, whose DACLs name only their creators, can be opened to end them. It
// lives in a thread token (a copy of the process token that the thread impersonates), so no
// other thread of the process, such as a hand-over worker that outlived its bound, and no child
// ever runs with it; the thread reverts to the process token at the end. For a thread that
// impersonates no one, which the main thread never does.
class DebugPrivilegeScope {
 public:
  DebugPrivilegeScope();
  ~DebugPrivilegeScope();
  DebugPrivilegeScope(const DebugPrivilegeScope&) = delete;
  DebugPrivilegeScope& operator=(const DebugPrivilegeScope&) = delete;

 private:
  bool impersonating_ = false;
};

}  // namespace process
