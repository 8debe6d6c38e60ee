#pragma once

#include <string>
#include <thread>

#include "win/unique_handle.h"

namespace testenv {

// Another thread that takes a channel's queue mutex and keeps it until Release (or the end of
// the object): a receiver side that never lets a sender in.
class QueueMutexKeeper {
 public:
  explicit QueueMutexKeeper(const std::string& channel);
  ~QueueMutexKeeper() { Release(); }
  QueueMutexKeeper(const QueueMutexKeeper&) = delete;
  QueueMutexKeeper& operator=(const QueueMutexKeeper&) = delete;

  bool kept() const { return kept_; }
  void Release();

 private:
  win::UniqueKernelHandle taken_;
  win::UniqueKernelHandle release_;
  std::thread keeper_;
  bool kept_ = false;
};

}  // namespace testenv
