#include "process/debug_privilege.h"

namespace process {

DebugPrivilegeScope::DebugPrivilegeScope() {
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token_.put())) {
    return;
  }
  TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &wanted.Privileges[0].Luid)) return;
  DWORD previousSize = 0;
  const BOOL adjusted = ::AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof(previous_),
                                                &previous_, &previousSize);
  // A token without the privilege: TRUE with ERROR_NOT_ALL_ASSIGNED, and nothing changed.
  const DWORD error = ::GetLastError();
  // Windows lists only what it changed (nothing when the privilege was enabled already); Wine
  // lists it either way, and writing back its former state is right in both cases.
  restore_ = adjusted && error != ERROR_NOT_ALL_ASSIGNED && previous_.PrivilegeCount != 0;
}

DebugPrivilegeScope::~DebugPrivilegeScope() {
  if (!restore_) return;
  const DWORD saved = ::GetLastError();
  ::AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
  ::SetLastError(saved);
}

}  // namespace process
