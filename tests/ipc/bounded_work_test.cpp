// The thread of the bounded hand-over: what its work throws stays there, as a hand-over that
// did not happen.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "ipc/bounded_work.h"
#include "win/unique_handle.h"

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

// Waits for go, then tries to commit; says how that went when it is deleted.
struct LateWork : ipc::BoundedWork {
  LateWork(HANDLE go, HANDLE done, bool* committedOut)
      : go(go), done(done), committedOut(committedOut) {}
  ~LateWork() override {
    *committedOut = committed;
    ::SetEvent(done);
  }
  void Work() override {
    ::WaitForSingleObject(go, 60000);
    committed = Commit();
  }
  HANDLE go, done;
  bool* committedOut;
  bool committed = false;
};

// Work that the caller stopped waiting for must not go on to its lasting effect later.
TEST(BoundedWorkTest, WorkGivenUpAtTheBoundCannotCommitAfterwards) {
  const win::UniqueKernelHandle go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const win::UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  bool committed = true;
  EXPECT_FALSE(ipc::RunWithin(std::make_unique<LateWork>(go.get(), done.get(), &committed), 50));
  ::SetEvent(go.get());
  ASSERT_EQ(::WaitForSingleObject(done.get(), 60000), WAIT_OBJECT_0);
  EXPECT_FALSE(committed);

  committed = false;
  EXPECT_TRUE(ipc::RunWithin(std::make_unique<LateWork>(go.get(), done.get(), &committed), 60000));
  EXPECT_TRUE(committed);
}

}  // namespace
