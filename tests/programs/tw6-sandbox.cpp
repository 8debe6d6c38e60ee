// tw6-sandbox.exe [--installed] COMMANDWORD: in a throwaway prefix, optionally seeds the
// product "installed", runs TW6Maint.exe with the word from the product's program folder and
// prints a before/after report of everything the program may touch.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/child_times.h"
#include "support/debug_monitor.h"
#include "support/family.h"
#include "support/maint.h"
#include "support/sandbox.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

struct Timing {
  DWORD exitCode = static_cast<DWORD>(-1);
  DWORD pid = 0;
  double wall = 0;      // seconds the program lived
  double children = 0;  // seconds the program's child processes (sc.exe) lived, added up
  int childCount = 0;
};

// Runs the program in a job whose completion port names every process started in it; their
// own creation and exit times then tell how long the external commands (sc.exe) lived.
Timing RunInJob(const std::wstring& commandLine, const std::wstring& folder) {
  Timing timing;
  win::UniqueKernelHandle job(::CreateJobObjectW(nullptr, nullptr));
  win::UniqueKernelHandle port(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job.get(), port.get()};
  ::SetInformationJobObject(job.get(), JobObjectAssociateCompletionPortInformation, &association,
                            sizeof(association));
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &info)) {
    return timing;
  }
  win::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  timing.pid = info.dwProcessId;
  const bool inJob = ::AssignProcessToJobObject(job.get(), process.get()) != FALSE;
  ::ResumeThread(thread.get());
  std::vector<win::UniqueKernelHandle> children;
  for (;;) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED data = nullptr;
    if (!::GetQueuedCompletionStatus(port.get(), &message, &key, &data, 100)) {
      // No message: the program may be gone with nothing left in the job (or no job at all).
      JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
      const bool jobEmpty =
          !inJob || (::QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation,
                                                 &accounting, sizeof(accounting), nullptr) &&
                     accounting.ActiveProcesses == 0);
      if (jobEmpty && ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) break;
      continue;
    }
    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) break;
    const DWORD pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
    if (message == JOB_OBJECT_MSG_NEW_PROCESS && pid != timing.pid) {
      children.emplace_back(::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid));
    }
  }
  ::WaitForSingleObject(process.get(), INFINITE);
  // The program's own life, as the children's: the job also holds what outlives it (a child's
  // console host), which the loop above has waited for.
  FILETIME created, exited, kernel, user;
  if (::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) {
    timing.wall = testenv::MillisecondsBetween(created, exited) / 1000;
  }
  ::GetExitCodeProcess(process.get(), &timing.exitCode);
  for (const win::UniqueKernelHandle& child : children) {
    if (!child || !testenv::IsScExe(child.get())) continue;
    ::WaitForSingleObject(child.get(), INFINITE);
    if (::GetProcessTimes(child.get(), &created, &exited, &kernel, &user)) {
      timing.children += testenv::MillisecondsBetween(created, exited) / 1000;
      ++timing.childCount;
    }
  }
  return timing;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool installed = false;
  int at = 1;
  if (at < argc && std::wstring(argv[at]) == L"--installed") {
    installed = true;
    ++at;
  }
  std::wstring arguments;
  for (; at < argc; ++at) arguments += (arguments.empty() ? L"" : L" ") + testenv::Quoted(argv[at]);

  const sandbox::Layout layout = sandbox::DefaultLayout();
  sandbox::InstalledProduct product;
  std::vector<std::string> problems;
  product.Seed(layout, installed, &problems);
  for (const std::string& problem : problems) std::printf("seeding failed: %s\n", problem.c_str());

  const sandbox::Snapshot before = sandbox::TakeSnapshot(layout, product);
  testenv::DebugMonitor monitor;
  testenv::WineTrace trace;
  const Timing timing =
      RunInJob(testenv::Quoted(layout.maint()) + (arguments.empty() ? L"" : L" " + arguments),
               layout.programFolder);
  trace.Stop();
  const std::vector<std::string> lines = monitor.StopAndTake(timing.pid);
  const std::vector<std::string> ports = trace.Connects(timing.pid);
  const sandbox::Snapshot after = sandbox::TakeSnapshot(layout, product);

  const testenv::Family& family = testenv::ThisFamily();
  std::printf("platform family: %s (Windows %lu.%lu%s, guard channel by %s, driver file %ls)\n",
              family.name.c_str(), family.version >> 8, family.version & 0xFF,
              family.wow64 ? ", the program under WOW64" : "",
              family.carrier == testenv::Carrier::Pipe ? "pipe" : "port", family.driverFile);
  std::printf("program folder: %ls\nregistry read in the %s\n\n%s\n", layout.programFolder.c_str(),
              family.view ? "64-bit view (the program's view under WOW64)" : "only view",
              sandbox::Report(before, after).c_str());
  if (trace.traced()) {
    std::printf("Guard channel ports the program tried to connect to (Wine's trace):\n");
    if (ports.empty()) std::printf("    (none)\n");
    for (const std::string& port : ports) std::printf("    %s\n", port.c_str());
  }
  std::printf("Debugger output of TW6Maint.exe:\n");
  if (lines.empty()) std::printf("    (none)\n");
  for (const std::string& line : lines) std::printf("    %s\n", line.c_str());
  std::printf(
      "\nExit code: %ld\nWall time: %.3f s, of which %d child process(es) (sc.exe) "
      "lived %.3f s\n",
      static_cast<long>(timing.exitCode), timing.wall, timing.childCount, timing.children);
  std::fflush(stdout);
  return problems.empty() ? 0 : 3;
}
