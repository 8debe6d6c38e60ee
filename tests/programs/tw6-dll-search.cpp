// tw6-dll-search.exe NAME [no-default|neither]: started in a folder that holds the DLL NAME, it
// loads NAME by its bare name before and after the program's start-up narrows the search, and
// exits with 0 when the load found it before and not after, 1 when it was not found before
// (the plant is not where the search looks), 2 when it was found after, 3 when the current
// folder is not the system folder after. "no-default" hides SetDefaultDllDirectories (Windows 7
// without its update, Vista, XP), "neither" SetDllDirectoryW too (2000, XP before SP1).
#include <windows.h>

#include <cwchar>

#include "app/dll_search.h"
#include "support/scoped_seams.h"
#include "win/entry_points.h"

namespace {

bool Loads(const wchar_t* name) {
  HMODULE module = ::LoadLibraryW(name);
  if (!module) return false;
  ::FreeLibrary(module);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 4;
  const bool noDefault = argc > 2;
  const bool neither = argc > 2 && std::wcscmp(argv[2], L"neither") == 0;
  if (!Loads(argv[1])) return 1;
  ScopedSeams<win::EntryPoints> entries(win::Entries());
  if (noDefault) entries->setDefaultDllDirectories = nullptr;
  if (neither) entries->setDllDirectory = nullptr;
  app::NarrowDllSearch();
  if (Loads(argv[1])) return 2;
  wchar_t current[MAX_PATH], system[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, current);
  const UINT systemLength = ::GetSystemDirectoryW(system, MAX_PATH);
  return length == systemLength && ::lstrcmpiW(current, system) == 0 ? 0 : 3;
}
