#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_guard.h"

// The product as an installer leaves it on a machine, and what the program changes of it:
// used by the sandbox run (tools/run) and the whole-program tests.
namespace sandbox {

struct Layout {
  std::wstring programFolder;  // where TW6Maint.exe and the product's programs lie
  std::wstring dataFolder;     // the machine-wide data folder, no trailing backslash
  std::wstring maint() const { return programFolder + L"\\TW6Maint.exe"; }
};

// C:\Program Files\Dravelin Tidewell 6 and the data folder where this Windows keeps it.
Layout DefaultLayout();

// Takes away whatever an earlier run left (services, keys, values, folders) so every run
// starts from the same state; the program folder itself stays.
void Clear(const Layout& layout);

// Seeds the "installed" state and keeps its processes running until destroyed; the
// destructor kills only the processes it started.
class InstalledProduct {
 public:
  // Takes away what an earlier run left, copies TW6Maint.exe and the product's stand-ins
  // into the program folder and, with installed, registers and starts what an installation
  // leaves behind.
  bool Seed(const Layout& layout, bool installed, std::vector<std::string>* problems);
  void StopProcesses();
  // The messages the test guard logged (it owns the channel on the pipe carrier, that is on
  // 32-bit XP; Wine has no LPC ports for the other carrier's receiver).
  std::string GuardMessages() const;
  ~InstalledProduct() { StopProcesses(); }

 private:
  std::vector<testenv::ChildProcess> processes_;
  std::unique_ptr<testenv::TestGuard> guard_;
};

struct Snapshot {
  // (group, name, value) in report order; "-" stands for absent.
  struct Fact {
    int group;
    std::string name, value;
  };
  std::vector<Fact> facts;
  std::string Value(const std::string& name) const;
};

Snapshot TakeSnapshot(const Layout& layout, const InstalledProduct& product);

// Counts the running processes with that executable name (any letter case).
int CountProcesses(const std::wstring& exeName);

// A person's before/after table: one line per fact, changed facts marked.
std::string Report(const Snapshot& before, const Snapshot& after);

}  // namespace sandbox
