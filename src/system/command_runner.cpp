#include "system/command_runner.h"

#include <windows.h>

#include <string>
#include <vector>

#include "win/unique_handle.h"

namespace apptools2 {

namespace {

std::wstring FirstWord(std::wstring_view commandLine) {
  if (!commandLine.empty() && commandLine.front() == L'"') {
    const size_t end = commandLine.find(L'"', 1);
    return std::wstring(commandLine.substr(1, end == std::wstring_view::npos ? end : end - 1));
  }
  return std::wstring(commandLine.substr(0, commandLine.find_first_of(L" \t")));
}

// Upper-cased by the system's table, as the file system compares names: no locale, since
// the invariant one does not exist before XP, and a failed compare would let a planted tool run.
bool EqualsUpperCase(std::wstring text, std::wstring_view upper) {
  if (!text.empty()) ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text == upper;
}

// CreateProcessW looks in the program's own folder first, and that folder is also the working
// folder: a planted sc.exe there must not run elevated in place of the system's.
std::wstring SystemToolFor(std::wstring_view commandLine) {
  const std::wstring word = FirstWord(commandLine);
  if (!EqualsUpperCase(word, L"SC") && !EqualsUpperCase(word, L"SC.EXE")) return {};
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(system, length) + L"\\sc.exe";
}

}  // namespace

int RunCommandAndWait(std::wstring_view commandLine, std::wstring_view currentDirectory,
                      unsigned short showState) {
  // Writable copies sized to the text: CreateProcessW may write into the command line.
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');
  const std::wstring directory(currentDirectory);
  const std::wstring application = SystemToolFor(commandLine);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showState;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), command.data(),
                        nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                        nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                        &info)) {
    return -1;
  }
  win::UniqueKernelHandle process(info.hProcess);
  win::UniqueKernelHandle thread(info.hThread);

  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

}  // namespace apptools2
