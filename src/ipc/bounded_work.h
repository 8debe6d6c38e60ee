#pragma once

#include <windows.h>

#include <memory>

// A hand-over that may block for good (a receiver that never completes a connect, a queue
// mutex that another process keeps, a pipe that nobody reads) runs on a thread of its own, and
// the caller waits for it at most a bound.
namespace ipc {

class FinishedWork;

// What the thread works on. The caller and the thread each hold a reference and the last to
// let go deletes it, so a thread that returns after the caller stopped waiting still finds it
// (and cleans up what it got too late). The process may also end with the thread still blocked.
class BoundedWork {
 public:
  BoundedWork() = default;
  BoundedWork(const BoundedWork&) = delete;
  BoundedWork& operator=(const BoundedWork&) = delete;
  virtual ~BoundedWork() = default;

  virtual void Work() = 0;

 protected:
  // For work that waits before its first lasting effect: called between the two. False when
  // the caller has stopped waiting, and the work must then give up without that effect; once
  // it has returned true, the caller's giving up no longer stops the work.
  bool Commit();

 private:
  friend class FinishedWork;
  friend FinishedWork RunWithin(std::unique_ptr<BoundedWork> work, DWORD waitMs);
  void Release();
  void GiveUp();

  volatile LONG references_ = 2;
  volatile LONG state_ = 0;  // kWaitedFor, kCommitted or kGivenUp
};

// The caller's reference to work that ended in time; empty when it did not.
class FinishedWork {
 public:
  FinishedWork() = default;
  explicit FinishedWork(BoundedWork* work) : work_(work) {}
  FinishedWork(FinishedWork&& other) noexcept : work_(other.work_) { other.work_ = nullptr; }
  FinishedWork(const FinishedWork&) = delete;
  FinishedWork& operator=(const FinishedWork&) = delete;
  ~FinishedWork() {
    if (work_) work_->Release();
  }

  explicit operator bool() const { return work_ != nullptr; }
  template <class Work>
  Work& As() const {
    return static_cast<Work&>(*work_);
  }

 private:
  BoundedWork* work_ = nullptr;
};

// Runs work->Work() on a new thread and waits for it at most waitMs. Empty when the thread
// could not be made, did not end in time or Work() threw.
FinishedWork RunWithin(std::unique_ptr<BoundedWork> work, DWORD waitMs);

}  // namespace ipc
