#pragma once

#include <windows.h>

namespace testenv {

// Whether SeDebugPrivilege is enabled in the calling thread's token (the process's when the
// thread impersonates no one), as GetTokenInformation reports.
bool DebugPrivilegeEnabled();

// Enables or disables it in this process's token; false when the token could not be adjusted.
bool SetDebugPrivilege(bool enabled);

// Sets its attributes in this process's token (SE_PRIVILEGE_REMOVED takes it away for good);
// false unless every change was made.
bool AdjustDebugPrivilege(DWORD attributes);

}  // namespace testenv
