#include "system/command_runner.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "env/apptools2.h"
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

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "C:\..." or "\\server\share...": a folder that does not depend on the current one.
bool IsAbsoluteFolder(std::wstring_view folder) {
  if (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\') return true;
  return folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\';
}

std::wstring InFolder(std::wstring folder, std::wstring_view name) {
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder + std::wstring(name);
}

std::wstring SystemFolder() {
  if (!TestRunnerSeams().systemFolder.empty()) return TestRunnerSeams().systemFolder;
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(system, length);
}

std::wstring OnAbsolutePath(std::wstring_view name) {
  const DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size == 0) return {};
  std::vector<wchar_t> text(size);
  const DWORD length = ::GetEnvironmentVariableW(L"PATH", text.data(), size);
  if (length == 0 || length >= size) return {};
  const std::wstring_view path(text.data(), length);
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find(L';', start), path.size());
    std::wstring_view entry = path.substr(start, end - start);
    if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"') {
      entry = entry.substr(1, entry.size() - 2);
    }
    if (IsAbsoluteFolder(entry)) {
      const std::wstring candidate = InFolder(std::wstring(entry), name);
      if (IsFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return {};
}

bool IsScCommand(std::wstring_view commandLine) {
  const std::wstring word = FirstWord(commandLine);
  return EqualsUpperCase(word, L"SC") || EqualsUpperCase(word, L"SC.EXE");
}

// CreateProcessW's own search looks in the program's folder and the current one first, so a
// planted sc.exe would run elevated in place of the system's: the tool is found here instead.
// Empty when no sc.exe is anywhere it may be taken from.
std::wstring FindSc() {
  constexpr std::wstring_view kTool = L"sc.exe";
  const std::wstring system = SystemFolder();
  if (!system.empty() && IsFile(InFolder(system, kTool))) return InFolder(system, kTool);
  // Windows 2000 ships none: the product brings its own.
  if (!ProgramFolder.empty() && IsFile(InFolder(ProgramFolder, kTool))) {
    return InFolder(ProgramFolder, kTool);
  }
  return OnAbsolutePath(kTool);
}

}  // namespace

RunnerSeams& TestRunnerSeams() {
  static RunnerSeams seams;
  return seams;
}

int RunCommandAndWait(std::wstring_view commandLine, std::wstring_view currentDirectory,
                      unsigned short showState) {
  // Writable copies sized to the text: CreateProcessW may write into the command line.
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');
  const std::wstring directory(currentDirectory);
  std::wstring application;
  if (IsScCommand(commandLine)) {
    application = FindSc();
    if (application.empty()) return -1;
  }

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

  // A child that outlives the bound is left to itself: ending sc.exe would not free a driver
  // stuck in the kernel, and the later steps do not depend on it.
  if (::WaitForSingleObject(process.get(), TestRunnerSeams().waitMs) != WAIT_OBJECT_0) {
    return kStillRunningExitCode;
  }
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

}  // namespace apptools2
