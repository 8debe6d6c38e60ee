#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testenv {

// TW6Maint.exe as built, or the one TW6_MAINT names (a Windows path).
std::wstring BuiltMaint();

struct MaintRun {
  DWORD exitCode = static_cast<DWORD>(-1);
  std::vector<std::string> debugLines;  // what the run wrote to the debugger output, in order
  // Under Wine, from its own trace of the run when that could be read (cmake/wine-exec says
  // where it goes; traced says whether it was): the port names the run tried to connect to
  // (Wine has no LPC ports) and the modules it loaded.
  bool traced = false;
  std::vector<std::string> portConnects;
  std::vector<std::string> modules;  // file names of the modules it loaded, lower case, if traced
};

// Under Wine, what the programs this process starts while a trace lives did, from Wine's own
// trace (it goes to our standard error, whose file cmake/wine-exec names): the LPC ports they
// tried to connect to (Wine has none) and the modules they loaded. Not traced on Windows or
// without that file.
class WineTrace {
 public:
  WineTrace();
  ~WineTrace();
  WineTrace(const WineTrace&) = delete;
  WineTrace& operator=(const WineTrace&) = delete;
  // Starts no more traced programs; call once the programs of interest are started.
  void Stop();
  bool traced() const { return !log_.empty(); }
  // The port names process pid tried to connect to, in order.
  std::vector<std::string> Connects(DWORD pid) const;
  // The file names, in lower case, of the modules process pid loaded, in order.
  std::vector<std::string> Modules(DWORD pid) const;

 private:
  std::string Ours() const;  // the trace written since this one began

  std::wstring log_;
  size_t start_ = 0;
  bool hadDebug_ = false, stopped_ = false;
  std::wstring savedDebug_;
};

// Runs the program with the given argument text (may be empty) and waits for it.
MaintRun RunMaint(const std::wstring& exePath, const std::wstring& arguments,
                  DWORD timeoutMs = 120000);

}  // namespace testenv
