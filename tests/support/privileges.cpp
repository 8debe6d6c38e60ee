#include "support/privileges.h"

#include <windows.h>

#include <vector>

#include "win/unique_handle.h"

namespace testenv {

namespace {

bool DebugLuid(LUID& luid) { return ::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &luid); }

}  // namespace

bool DebugPrivilegeEnabled() {
  win::UniqueKernelHandle token;
  LUID luid;
  // The thread's own token where it impersonates, else the process's: what its opens are
  // checked with.
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) &&
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
    return false;
  }
  if (!DebugLuid(luid)) return false;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
  if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &size)) {
    return false;
  }
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart) {
      return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return false;
}

bool AdjustDebugPrivilege(DWORD attributes) {
  win::UniqueKernelHandle token;
  TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = attributes;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put()) ||
      !DebugLuid(wanted.Privileges[0].Luid)) {
    return false;
  }
  return ::AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr) &&
         ::GetLastError() == ERROR_SUCCESS;
}

bool SetDebugPrivilege(bool enabled) {
  return AdjustDebugPrivilege(enabled ? SE_PRIVILEGE_ENABLED : 0);
}

}  // namespace testenv
