#include "support/maint.h"

#include <cctype>
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

// With the pid channel on, each line of process pid starts with "PPPP:TTTT:". Calls the visitor
// with the text after the first "L\"" of each of its lines that holds key, up to the closing
// quote, with Wine's C quoting undone.
template <typename Visit>
void QuotedTextsIn(const std::string& trace, DWORD pid, const char* key, Visit visit) {
  char prefix[16];
  std::snprintf(prefix, sizeof(prefix), "%04lx:", static_cast<unsigned long>(pid));
  size_t line = 0;
  while (line < trace.size()) {
    size_t end = trace.find('\n', line);
    if (end == std::string::npos) end = trace.size();
    const std::string text = trace.substr(line, end - line);
    line = end + 1;
    const size_t at = text.find(key);
    if (text.compare(0, std::strlen(prefix), prefix) != 0 || at == std::string::npos) continue;
    const size_t quote = text.find("L\"", at);
    const size_t close = quote == std::string::npos ? quote : text.find('"', quote + 2);
    if (close == std::string::npos) continue;
    std::string quoted;
    for (size_t i = quote + 2; i < close; ++i) {
      if (text[i] == '\\' && i + 1 < close) ++i;
      quoted += text[i];
    }
    visit(quoted);
  }
}

}  // namespace

std::wstring BuiltMaint() {
  // Another build of the program (a signed release) in place of the one built here.
  wchar_t other[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"TW6_MAINT", other, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return other;
  return BuiltProgram(L"TW6Maint.exe");
}

WineTrace::WineTrace() : log_(WineLogPath()) {
  if (log_.empty()) return;
  start_ = ReadFileText(log_).size();
  wchar_t saved[256] = {};
  hadDebug_ = ::GetEnvironmentVariableW(L"WINEDEBUG", saved, 256) > 0;
  savedDebug_ = saved;
  ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all,fixme+sync,trace+pid,trace+loaddll");
}

WineTrace::~WineTrace() { Stop(); }

void WineTrace::Stop() {
  if (log_.empty() || stopped_) return;
  stopped_ = true;
  ::SetEnvironmentVariableW(L"WINEDEBUG", hadDebug_ ? savedDebug_.c_str() : nullptr);
}

std::string WineTrace::Ours() const {
  const std::string trace = log_.empty() ? std::string() : ReadFileText(log_);
  return trace.size() < start_ ? std::string() : trace.substr(start_);
}

// PPPP:TTTT:fixme:sync:NtConnectPort (0x...,L"\\RPC Control\\NAME",...),stub!
std::vector<std::string> WineTrace::Connects(DWORD pid) const {
  std::vector<std::string> ports;
  QuotedTextsIn(Ours(), pid, "NtConnectPort (0x",
                [&](const std::string& port) { ports.push_back(port); });
  return ports;
}

// PPPP:TTTT:trace:loaddll:build_module Loaded L"C:\\windows\\system32\\user32.dll" at ...
std::vector<std::string> WineTrace::Modules(DWORD pid) const {
  std::vector<std::string> modules;
  QuotedTextsIn(Ours(), pid, ":loaddll:build_module Loaded ", [&](const std::string& path) {
    std::string name = path.substr(path.find_last_of('\\') + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    modules.push_back(name);
  });
  return modules;
}

MaintRun RunMaint(const std::wstring& exePath, const std::wstring& arguments, DWORD timeoutMs) {
  MaintRun run;
  DebugMonitor monitor;
  std::wstring command = Quoted(exePath);
  if (!arguments.empty()) command += L" " + arguments;
  WineTrace trace;
  ChildProcess child = ChildProcess::Start(command);
  trace.Stop();
  if (!child.started()) return run;
  run.exitCode = child.Wait(timeoutMs);
  run.debugLines = monitor.StopAndTake(child.id());
  run.traced = trace.traced();
  run.portConnects = trace.Connects(child.id());
  run.modules = trace.Modules(child.id());
  return run;
}

}  // namespace testenv
