// tw6-sandbox.exe [--installed] COMMANDWORD: in a throwaway prefix, optionally seeds the
// product "installed", runs TW6Maint.exe with the word from the product's program folder and
// prints a before/after report of everything the program may touch.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/debug_monitor.h"
#include "support/sandbox.h"

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

  const sandbox::Snapshot before = sandbox::TakeSnapshot(layout);
  testenv::DebugMonitor monitor;
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  testenv::ChildProcess run = testenv::ChildProcess::Start(
      testenv::Quoted(layout.maint()) + (arguments.empty() ? L"" : L" " + arguments),
      layout.programFolder);
  const DWORD code = run.started() ? run.Wait(INFINITE) : static_cast<DWORD>(-1);
  ::QueryPerformanceCounter(&end);
  const std::vector<std::string> lines = monitor.StopAndTake(run.id());
  const sandbox::Snapshot after = sandbox::TakeSnapshot(layout);

  std::printf("program folder: %ls\n\n%s\n", layout.programFolder.c_str(),
              sandbox::Report(before, after).c_str());
  std::printf("Debugger output of TW6Maint.exe:\n");
  if (lines.empty()) std::printf("    (none)\n");
  for (const std::string& line : lines) std::printf("    %s\n", line.c_str());
  std::printf("\nExit code: %ld\nWall time: %.3f s\n", static_cast<long>(code),
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  std::fflush(stdout);
  return problems.empty() ? 0 : 3;
}
