// Appends to the file named by TW6_PRIVILEGE_LOG "debug=0|1 <command line>": whether
// SeDebugPrivilege is enabled in the token it was started with. Planted as sc.exe, it shows what
// the program's children inherit. With "--without" it first removes the privilege from its token
// and writes "inside=0|1 after=0|1": the state within and after a DebugPrivilegeScope (exit code
// 2 when the privilege could not be removed).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "process/debug_privilege.h"
#include "support/privileges.h"

namespace {

bool RemoveDebugPrivilege() {
  // Gone when it can no longer be enabled.
  return testenv::AdjustDebugPrivilege(SE_PRIVILEGE_REMOVED) && !testenv::SetDebugPrivilege(true) &&
         ::GetLastError() == ERROR_NOT_ALL_ASSIGNED;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TW6_PRIVILEGE_LOG", log, MAX_PATH) == 0) return 1;
  FILE* file = ::_wfopen(log, L"ab");
  if (!file) return 1;
  int exitCode = 0;
  if (argc > 1 && std::wcscmp(argv[1], L"--without") == 0) {
    if (RemoveDebugPrivilege()) {
      bool inside;
      {
        const process::DebugPrivilegeScope scope;
        inside = testenv::DebugPrivilegeEnabled();
      }
      std::fprintf(file, "inside=%d after=%d\n", inside ? 1 : 0,
                   testenv::DebugPrivilegeEnabled() ? 1 : 0);
    } else {
      exitCode = 2;
    }
  } else {
    std::fprintf(file, "debug=%d %ls\n", testenv::DebugPrivilegeEnabled() ? 1 : 0,
                 ::GetCommandLineW());
  }
  std::fclose(file);
  return exitCode;
}
