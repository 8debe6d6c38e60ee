// Benchmark helper, Wine only: prints the Unix path of the product's data folder, so that the
// benchmark can build its tree there from the Unix side.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/startup.h"
#include "disk/user_data.h"

int wmain() {
  app::StartUp();
  using UnixNameFn = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  const std::wstring folder = global::GetUserDataFolder();
  // The folders below the shell's folder may not exist yet: ask for the shell's folder only.
  const size_t slash = folder.rfind(L"\\Dravelin\\");
  if (!unixName || slash == std::wstring::npos) return 1;
  char* base = unixName(folder.substr(0, slash).c_str());
  if (!base) return 1;
  std::printf("%s/Dravelin/Dravelin Tidewell\n", base);
  return 0;
}
