#pragma once

namespace testenv {

// Whether SeDebugPrivilege is enabled in this process's token, as GetTokenInformation reports.
bool DebugPrivilegeEnabled();

// Enables or disables it in this process's token; false when the token could not be adjusted.
bool SetDebugPrivilege(bool enabled);

}  // namespace testenv
