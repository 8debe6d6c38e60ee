#include "env/apptools2.h"

#include <windows.h>

#include <vector>

#include "win/entry_points.h"

namespace apptools2 {

std::wstring ProgramFolder;
std::wstring WindowsFolder;
bool Is64BitWindows = false;

namespace {

std::wstring ModuleFileName() {
  // GetModuleFileNameW truncates silently when the buffer is short; grow until it fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring WindowsDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  UINT length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {  // the answer is the size needed, terminator included
    buffer.resize(length);
    length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) return std::wstring();
  }
  return std::wstring(buffer.data(), length);
}

}  // namespace

bool RunningUnderWow64() {
  auto isWow64Process = win::Entries().isWow64Process;
  BOOL wow64 = FALSE;
  return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

std::wstring FolderOfPath(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void StartUp() {
  Is64BitWindows = RunningUnderWow64();
  ProgramFolder = FolderOfPath(ModuleFileName());
  WindowsFolder = WindowsDirectory();
}

DWORD WindowsMajorVersion() { return WindowsVersion() >> 8; }

DWORD WindowsVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  // GetVersionExW answers what a compatibility layer says: only where ntdll lacks the entry (2000).
  const auto rtlGetVersion = win::Entries().rtlGetVersion;
  const bool known = rtlGetVersion ? rtlGetVersion(&info) == 0 : ::GetVersionExW(&info) != FALSE;
  return known ? (info.dwMajorVersion << 8 | (info.dwMinorVersion & 0xFF)) : 0;
}

std::wstring GetCurrentUserName() {
  wchar_t buffer[1024];
  DWORD size = 1024;
  if (!::GetUserNameW(buffer, &size)) return std::wstring();
  return std::wstring(buffer);
}

std::wstring GetSpecialFolderPath(int csidl) {
  const win::ShellEntries& shell = win::LoadShellEntries();
  if (!shell.shGetSpecialFolderLocation || !shell.shGetPathFromIDList || !shell.coTaskMemFree) {
    return std::wstring();
  }
  void* pidl = nullptr;
  if (FAILED(shell.shGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) {
    return std::wstring();
  }
  // SHGetPathFromIDListW fails rather than truncates for a path beyond MAX_PATH.
  wchar_t buffer[MAX_PATH];
  const BOOL ok = shell.shGetPathFromIDList(pidl, buffer);
  shell.coTaskMemFree(pidl);
  return ok ? std::wstring(buffer) : std::wstring();
}

}  // namespace apptools2
