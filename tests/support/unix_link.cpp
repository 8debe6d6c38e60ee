#include "support/unix_link.h"

#include <windows.h>

#include "win/unique_handle.h"

namespace testenv {

namespace {

using UnixNameFn = char*(CDECL*)(const wchar_t*);

UnixNameFn UnixNameEntry() {
  return reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
}

std::wstring UnixName(const std::wstring& path) {
  char* name = UnixNameEntry()(path.c_str());
  if (!name) return std::wstring();
  std::wstring wide(name, name + strlen(name));  // our test paths are plain ASCII
  ::HeapFree(::GetProcessHeap(), 0, name);
  return wide;
}

// The Unix name of a path whose last part may not exist yet.
std::wstring UnixNameOfNew(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return UnixName(path.substr(0, slash)) + L"/" + path.substr(slash + 1);
}

// Wine starts a Unix program from its Unix path; the handle it gives does not wait for the
// program, so the caller waits for the program's effect instead.
bool StartUnixTool(const std::wstring& tool, const std::wstring& arguments) {
  std::wstring command = tool + L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  const std::wstring program = L"Z:\\bin\\" + tool;
  if (!::CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return false;
  }
  win::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  return true;
}

template <class Condition>
bool WaitFor(Condition condition) {
  for (int i = 0; i < 1000; ++i) {
    if (condition()) return true;
    ::Sleep(10);
  }
  return false;
}

std::wstring Quote(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

bool UnixLink::Available() { return UnixNameEntry() != nullptr; }

UnixLink::UnixLink(const std::wstring& link, const std::wstring& target) : link_(link) {
  if (!Available()) return;
  const std::wstring arguments =
      L"-s " + Quote(UnixName(target)) + L" " + Quote(UnixNameOfNew(link));
  made_ =
      StartUnixTool(L"ln", arguments) && WaitFor([&] {
        const DWORD attributes = ::GetFileAttributesW(link_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
      });
}

UnixLink::~UnixLink() {
  if (!made_) return;
  // rm without -r removes the link itself, never what it points to.
  if (StartUnixTool(L"rm", L"-f " + Quote(UnixNameOfNew(link_)))) {
    WaitFor([&] { return ::GetFileAttributesW(link_.c_str()) == INVALID_FILE_ATTRIBUTES; });
  }
}

bool MakeUnixFolders(const std::wstring& folder, const std::wstring& relative) {
  if (!UnixLink::Available()) return false;
  std::wstring unixRelative = relative;
  for (wchar_t& c : unixRelative) {
    if (c == L'\\') c = L'/';
  }
  const std::wstring deepest = L"\\\\?\\" + folder + L"\\" + relative;
  return StartUnixTool(L"mkdir", L"-p " + Quote(UnixName(folder) + L"/" + unixRelative)) &&
         WaitFor([&] { return ::GetFileAttributesW(deepest.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

}  // namespace testenv
