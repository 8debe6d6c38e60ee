// Appends "<command line>|<working folder>" to the file named by TW6_PROBE_LOG, then exits with
// the number given after "exit" on its command line (0 without one). Planted under other
// names (sc.exe) it shows whether it was run.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TW6_PROBE_LOG", log, MAX_PATH) > 0) {
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring line = std::wstring(::GetCommandLineW()) + L"|" + folder + L"\r\n";
    HANDLE file = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                  nullptr);
      ::CloseHandle(file);
    }
  }
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wcscmp(argv[i], L"exit") == 0)
      return static_cast<int>(std::wcstoul(argv[i + 1], nullptr, 0));
  }
  return 0;
}
