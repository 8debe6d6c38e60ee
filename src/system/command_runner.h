#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace apptools2 {

// How long a child may run before its step goes on without it. A healthy sc.exe ends in well
// under a second; "sc start" and "sc stop" of a driver return only when its entry or unload
// routine does, and the service manager itself gives a starting service 30 s. Four times that
// still ends an unattended run whose driver is wedged in its unload.
constexpr DWORD kChildWaitMs = 120000;

// The result for a child still running at the bound: what Windows reports for it (STILL_ACTIVE).
constexpr int kStillRunningExitCode = 259;

// Runs an sc command line ("sc" or "sc.exe" first) with the system's sc.exe, hidden in a
// console of its own, waits for it at most kChildWaitMs and returns its exit code,
// kStillRunningExitCode when it outlived the bound (it is left running), or -1 when it could
// not be started or the wait failed. Where the system has no sc.exe (stock Windows 2000) the
// command is carried out here (RunScCommand). Any other command is refused with -1: no tool is
// ever taken from PATH, the program folder or the current folder.
int RunCommandAndWait(std::wstring_view commandLine, std::wstring_view currentDirectory,
                      unsigned short showState);

// The system folder as GetSystemDirectoryW gives it; empty when it cannot be read.
std::wstring SystemFolder();

// Test seams: the bound, the folder sc.exe is taken from, the wait.
struct RunnerSeams {
  DWORD waitMs = kChildWaitMs;
  std::wstring (*systemFolder)() = SystemFolder;
  DWORD(WINAPI* wait)(HANDLE, DWORD) = ::WaitForSingleObject;
};
RunnerSeams& TestRunnerSeams();

}  // namespace apptools2
