#include "support/test_env.h"

#include <vector>

#include "win/unique_handle.h"

namespace testenv {

std::wstring BuildFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  std::wstring path(buffer.data(), length);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring BuiltProgram(const std::wstring& fileName) { return BuildFolder() + L"\\" + fileName; }

bool IsXp() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ::GetVersionExW(&info);
  return info.dwMajorVersion <= 5;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  auto isWow64Process = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool IsWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr;
}

bool Is64BitSystem() {
  SYSTEM_INFO info = {};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
}

ScratchFolder::ScratchFolder(const std::wstring& name) {
  static int counter = 0;
  ::CreateDirectoryW(L"C:\\tw6test", nullptr);
  path_ = L"C:\\tw6test\\" + name + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  RemoveTree(path_);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  win::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
        RemoveTree(path);
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryW(path.c_str());
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  find.reset();
  ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(folder.c_str());
}

bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CopyTo(const std::wstring& from, const std::wstring& to) {
  return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

void WriteFileText(const std::wstring& path, const std::string& text) {
  win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file)
    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadFileText(const std::wstring& path) {
  win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  std::string text;
  if (!file) return text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  return text;
}

std::vector<uint8_t> ReadAvailable(HANDLE pipe) {
  DWORD available = 0;
  ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
  std::vector<uint8_t> bytes(available);
  DWORD read = 0;
  if (available) ::ReadFile(pipe, bytes.data(), available, &read, nullptr);
  bytes.resize(read);
  return bytes;
}

}  // namespace testenv
