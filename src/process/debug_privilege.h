#pragma once

#include <windows.h>

#include "win/unique_handle.h"

namespace process {

// Enables SeDebugPrivilege in the process token for its lifetime, so that processes of other
// users and sessions, whose DACLs name only their creators, can be opened to end them. Restores
// what it changed, and only that: a privilege already enabled stays so, and a token without the
// privilege is left as it was.
class DebugPrivilegeScope {
 public:
  DebugPrivilegeScope();
  ~DebugPrivilegeScope();
  DebugPrivilegeScope(const DebugPrivilegeScope&) = delete;
  DebugPrivilegeScope& operator=(const DebugPrivilegeScope&) = delete;

 private:
  win::UniqueKernelHandle token_;
  TOKEN_PRIVILEGES previous_ = {};
  bool restore_ = false;
};

}  // namespace process
