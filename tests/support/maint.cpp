#include "support/maint.h"

#include "support/child_process.h"
#include "support/debug_monitor.h"
#include "support/test_env.h"

namespace testenv {

std::wstring BuiltMaint() { return BuiltProgram(L"TW6Maint.exe"); }

MaintRun RunMaint(const std::wstring& exePath, const std::wstring& arguments, DWORD timeoutMs) {
  MaintRun run;
  DebugMonitor monitor;
  std::wstring command = Quoted(exePath);
  if (!arguments.empty()) command += L" " + arguments;
  ChildProcess child = ChildProcess::Start(command);
  if (!child.started()) return run;
  run.exitCode = child.Wait(timeoutMs);
  run.debugLines = monitor.StopAndTake(child.id());
  return run;
}

}  // namespace testenv
