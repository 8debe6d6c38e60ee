#include "app/dll_search.h"

#include <windows.h>

#include "win/entry_points.h"

namespace app {

void NarrowDllSearch() {
  const win::EntryPoints& entries = win::Entries();
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  // The handed-down current folder (often the user's downloads) comes before system32 on 2000
  // and XP before SP2; PATH and the program's folder are searched everywhere.
  if (!(entries.setDefaultDllDirectories && entries.setDefaultDllDirectories(kSearchSystem32)) &&
      entries.setDllDirectory) {
    entries.setDllDirectory(L"");
  }
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length > 0 && length < MAX_PATH) ::SetCurrentDirectoryW(system);
}

}  // namespace app
