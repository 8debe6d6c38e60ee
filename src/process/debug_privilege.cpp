#include "process/debug_privilege.h"

namespace process {

DebugPrivilegeScope::DebugPrivilegeScope() {
  if (!::ImpersonateSelf(SecurityImpersonation)) return;
  impersonating_ = true;
  win::UniqueKernelHandle token;
  // Opened as the process: the check is then made against the process token, not the copy.
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES, TRUE, token.put())) {
    return;
  }
  TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // A token without the privilege answers ERROR_NOT_ALL_ASSIGNED and stays as it was.
  if (::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &wanted.Privileges[0].Luid)) {
    ::AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr);
  }
}

DebugPrivilegeScope::~DebugPrivilegeScope() {
  if (!impersonating_) return;
  const DWORD saved = ::GetLastError();
  ::RevertToSelf();
  ::SetLastError(saved);
}

}  // namespace process
