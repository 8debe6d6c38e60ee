#include "support/maint.h"

#include <cstdio>
#include <cstring>

#include "support/child_process.h"
#include "support/debug_monitor.h"
#include "support/test_env.h"

namespace testenv {

namespace {

// Wine writes a program's trace to the standard error it was started with, which is ours:
// cmake/wine-exec names its Unix file in TW6_WINE_LOG, and Wine's drive Z: is the Unix root.
std::wstring WineLogPath() {
  wchar_t unixPath[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"TW6_WINE_LOG", unixPath, 1024);
  if (!IsWine() || length == 0 || length >= 1024 || unixPath[0] != L'/') return L"";
  std::wstring path = L"Z:" + std::wstring(unixPath, length);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// With the pid channel on, each line of process pid starts with "PPPP:TTTT:"; Wine names the
// port of each connect attempt in its C quoting:
// PPPP:TTTT:fixme:sync:NtConnectPort (0x...,L"\\RPC Control\\NAME",...),stub!
std::vector<std::string> PortConnectsIn(const std::string& trace, DWORD pid) {
  char prefix[16];
  std::snprintf(prefix, sizeof(prefix), "%04lx:", static_cast<unsigned long>(pid));
  std::vector<std::string> ports;
  size_t line = 0;
  while (line < trace.size()) {
    size_t end = trace.find('\n', line);
    if (end == std::string::npos) end = trace.size();
    const std::string text = trace.substr(line, end - line);
    line = end + 1;
    const size_t open = text.find("NtConnectPort (0x");
    if (text.compare(0, std::strlen(prefix), prefix) != 0 || open == std::string::npos) continue;
    const size_t quote = text.find("L\"", open);
    const size_t close = quote == std::string::npos ? quote : text.find('"', quote + 2);
    if (close == std::string::npos) continue;
    std::string port;
    for (size_t i = quote + 2; i < close; ++i) {
      if (text[i] == '\\' && i + 1 < close) ++i;
      port += text[i];
    }
    ports.push_back(port);
  }
  return ports;
}

}  // namespace

std::wstring BuiltMaint() { return BuiltProgram(L"TW6Maint.exe"); }

MaintRun RunMaint(const std::wstring& exePath, const std::wstring& arguments, DWORD timeoutMs) {
  MaintRun run;
  DebugMonitor monitor;
  std::wstring command = Quoted(exePath);
  if (!arguments.empty()) command += L" " + arguments;
  const std::wstring log = WineLogPath();
  const size_t logStart = log.empty() ? 0 : ReadFileText(log).size();
  wchar_t saved[256] = {};
  const bool hadDebug = ::GetEnvironmentVariableW(L"WINEDEBUG", saved, 256) > 0;
  if (!log.empty()) ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all,fixme+sync,trace+pid");
  ChildProcess child = ChildProcess::Start(command);
  if (!log.empty()) ::SetEnvironmentVariableW(L"WINEDEBUG", hadDebug ? saved : nullptr);
  if (!child.started()) return run;
  run.exitCode = child.Wait(timeoutMs);
  run.debugLines = monitor.StopAndTake(child.id());
  if (!log.empty()) {
    const std::string trace = ReadFileText(log);
    run.portsTraced = trace.size() >= logStart;
    if (run.portsTraced) run.portConnects = PortConnectsIn(trace.substr(logStart), child.id());
  }
  return run;
}

}  // namespace testenv
