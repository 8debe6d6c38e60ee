#include "support/child_times.h"

#include <string>

namespace testenv {

double MillisecondsBetween(const FILETIME& from, const FILETIME& to) {
  ULARGE_INTEGER a, b;
  a.LowPart = from.dwLowDateTime, a.HighPart = from.dwHighDateTime;
  b.LowPart = to.dwLowDateTime, b.HighPart = to.dwHighDateTime;
  return b.QuadPart > a.QuadPart ? (b.QuadPart - a.QuadPart) / 1e4 : 0;
}

bool IsScExe(HANDLE process) {
  wchar_t path[MAX_PATH] = {};
  auto imageName = reinterpret_cast<DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD)>(reinterpret_cast<void*>(
      ::GetProcAddress(::LoadLibraryW(L"psapi.dll"), "GetProcessImageFileNameW")));
  if (!imageName || !imageName(process, path, MAX_PATH)) return false;
  const std::wstring name = path;
  return ::lstrcmpiW(name.substr(name.find_last_of(L'\\') + 1).c_str(), L"sc.exe") == 0;
}

}  // namespace testenv
