#include "system/command_runner.h"

#include <windows.h>

#include <string>
#include <vector>

#include "system/sc_commands.h"
#include "win/unique_handle.h"

namespace apptools2 {

namespace {

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// CreateProcessW's own search looks in the program's folder, the current one and PATH, any of
// which another user may plant an sc.exe in that would run elevated: only the system's is
// taken, by its full path. Empty when the system has none.
std::wstring SystemSc() {
  std::wstring folder = TestRunnerSeams().systemFolder();
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  const std::wstring tool = folder + L"sc.exe";
  return IsFile(tool) ? tool : std::wstring();
}

}  // namespace

std::wstring SystemFolder() {
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(system, length);
}

RunnerSeams& TestRunnerSeams() {
  static RunnerSeams seams;
  return seams;
}

int RunCommandAndWait(std::wstring_view commandLine, std::wstring_view currentDirectory,
                      unsigned short showState) {
  if (!IsScCommand(commandLine)) return -1;
  const std::wstring application = SystemSc();
  if (application.empty()) return RunScCommand(commandLine);

  // Writable copies sized to the text: CreateProcessW may write into the command line.
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');
  std::wstring directory(currentDirectory);
  // "C:", the folder of a program in a drive's root, means the drive's current folder, which is
  // the system folder once the program has moved there: the root is meant.
  if (directory.size() == 2 && directory[1] == L':') directory += L'\\';

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showState;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
    return -1;
  }
  win::UniqueKernelHandle process(info.hProcess);
  win::UniqueKernelHandle thread(info.hThread);

  // A child that outlives the bound is left to itself: ending sc.exe would not free a driver
  // stuck in the kernel, and the later steps do not depend on it.
  const DWORD waited = TestRunnerSeams().wait(process.get(), TestRunnerSeams().waitMs);
  if (waited == WAIT_TIMEOUT) return kStillRunningExitCode;
  if (waited != WAIT_OBJECT_0) return -1;
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

}  // namespace apptools2
