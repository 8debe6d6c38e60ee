#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"

namespace testenv {

// tw6-test-guard.exe owning a guard channel, with its log in a scratch folder.
class TestGuard {
 public:
  // Waits until the guard owns the channel of the current user, or of userName when given.
  explicit TestGuard(bool answers = true, const std::wstring& userName = L"");

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

}  // namespace testenv
