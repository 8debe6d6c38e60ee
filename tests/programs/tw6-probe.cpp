// Appends "<command line>|<working folder>" to the file named by TW6_PROBE_LOG, then exits with
// the number given after "exit" on its command line (0 without one). Planted under other
// names (sc.exe) it shows whether it was run. With TW6_PROBE_STARTUP it also writes there how
// it was started: "flags=N show=N visible=0|1 console=0|1 title=TEXT" (its console's title).
// With TW6_PROBE_SELF it appends its own path and a line break there, so copies can be told apart.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void LogStartup(const wchar_t* path) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  ::GetStartupInfoW(&startup);
  // A console is there when its screen buffer opens; its title tells whose console it is.
  const HANDLE screen = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  if (screen != INVALID_HANDLE_VALUE) ::CloseHandle(screen);
  char title[512] = {};
  ::GetConsoleTitleA(title, sizeof(title));
  const std::string line =
      "flags=" + std::to_string(startup.dwFlags) + " show=" + std::to_string(startup.wShowWindow) +
      " visible=" + (::IsWindowVisible(::GetConsoleWindow()) ? "1" : "0") +
      " console=" + (screen != INVALID_HANDLE_VALUE ? "1" : "0") + " title=" + title + "\n";
  if (FILE* file = ::_wfopen(path, L"ab")) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t startupLog[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TW6_PROBE_STARTUP", startupLog, MAX_PATH) > 0) {
    LogStartup(startupLog);
  }
  wchar_t self[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TW6_PROBE_SELF", self, MAX_PATH) > 0) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (FILE* file = ::_wfopen(self, L"ab")) {
      std::fprintf(file, "%ls\n", path);
      std::fclose(file);
    }
  }
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
