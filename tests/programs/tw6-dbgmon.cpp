// tw6-dbgmon.exe PROGRAM [ARGS...]: runs the program, prints every debugger output line it
// writes (one per line, as written) and exits with the program's exit code.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/debug_monitor.h"

int wmain() {
  // Everything after our own first argument is the command line to run.
  std::wstring line = ::GetCommandLineW();
  size_t pos = 0;
  if (!line.empty() && line[0] == L'"') {
    pos = line.find(L'"', 1);
    pos = pos == std::wstring::npos ? line.size() : pos + 1;
  } else {
    pos = line.find_first_of(L" \t");
    if (pos == std::wstring::npos) pos = line.size();
  }
  while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t')) ++pos;
  const std::wstring command = line.substr(pos);
  if (command.empty()) {
    std::fprintf(stderr, "usage: tw6-dbgmon.exe PROGRAM [ARGS...]\n");
    return 2;
  }

  testenv::DebugMonitor monitor;
  if (!monitor.active()) {
    std::fprintf(stderr, "tw6-dbgmon: the debug buffer is in use by another monitor\n");
    return 2;
  }
  testenv::ChildProcess child = testenv::ChildProcess::Start(command);
  if (!child.started()) {
    std::fprintf(stderr, "tw6-dbgmon: cannot start the program (error %lu)\n", ::GetLastError());
    return 2;
  }
  const DWORD code = child.Wait(INFINITE);
  for (const std::string& text : monitor.StopAndTake(child.id())) std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  return static_cast<int>(code);
}
