#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"

namespace testenv {

// tw6-test-guard.exe, run as TW6Guard.exe from a scratch folder, owning a guard channel, with
// its log beside it. -UNINSTALL cannot end it: only its destructor does.
class TestGuard {
 public:
  // Waits until the guard owns the channel of the current user, or of userName when given.
  explicit TestGuard(bool answers = true, const std::wstring& userName = L"");
  ~TestGuard();
  TestGuard(const TestGuard&) = delete;
  TestGuard& operator=(const TestGuard&) = delete;

  bool ready() const { return ready_; }
  const std::string& channel() const { return channel_; }
  ChildProcess& process() { return process_; }
  std::vector<std::string> Lines() const;
  // Sends "sync" over the pipe carrier and waits for its answer: every message handed over
  // before has then been logged (the guard serves them in order on one thread).
  bool Sync() const;

 private:
  ScratchFolder folder_;
  std::wstring log_;
  std::string channel_;
  ChildProcess process_;
  bool ready_ = false;
};

// Whether processId is a running test guard of this process, which is a test's instrument and
// not one of the product's processes.
bool IsTestGuard(DWORD processId);

}  // namespace testenv
