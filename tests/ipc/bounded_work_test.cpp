// The thread of the bounded hand-over: what its work throws stays there, as a hand-over that
// did not happen.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "ipc/bounded_work.h"

namespace {

int destroyed = 0;

struct CountedWork : ipc::BoundedWork {
  explicit CountedWork(bool throws) : throws(throws) {}
  ~CountedWork() override { ++destroyed; }
  void Work() override {
    if (throws) throw std::bad_alloc();
    ran = true;
  }
  const bool throws;
  bool ran = false;
};

// Without the catch on the thread, the throw ends this process in std::terminate.
TEST(BoundedWorkTest, WorkThatThrowsIsNotFinishedAndIsStillFreed) {
  destroyed = 0;
  {
    const ipc::FinishedWork finished = ipc::RunWithin(std::make_unique<CountedWork>(false), 60000);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(finished.As<CountedWork>().ran);
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_FALSE(ipc::RunWithin(std::make_unique<CountedWork>(true), 60000));
  EXPECT_EQ(destroyed, 2);
}

}  // namespace
