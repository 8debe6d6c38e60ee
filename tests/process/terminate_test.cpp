#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "process/kernel_objects.h"
#include "process/lookup.h"
#include "support/sleepers.h"
#include "support/test_env.h"

namespace {

using process::IProcess;
using process::IProcesses;
using process::Ptr;

constexpr DWORD kEndWaitMs = 10000;

class TerminateTest : public ::testing::Test {
 protected:
  void SetUp() override { app::StartUp(); }
  void TearDown() override { EXPECT_EQ(process::KernelObjectCount(), 0u); }

  testenv::ScratchFolder a_{L"end a"};
  testenv::ScratchFolder b_{L"end b"};
};

TEST_F(TerminateTest, AListEndsItsOtherProcessesWhenTheFirstCannotBeOpened) {
  testenv::ChildProcess one = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  testenv::ChildProcess two = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  ASSERT_TRUE(one.started() && two.started());
  const Ptr<IProcesses> list = process::FindProcesses("TW6Log.exe");
  ASSERT_EQ(list->GetItemCount(), 2);
  const Ptr<IProcess> gone = list->GetItem(0);
  testenv::ChildProcess& first = gone->GetID() == one.id() ? one : two;
  testenv::ChildProcess& second = &first == &one ? two : one;
  // Ended between the lookup and Terminate: its id opens nothing any more.
  ASSERT_TRUE(testenv::EndAndWaitUntilGone(first));

  EXPECT_TRUE(list->Terminate(9));
  EXPECT_EQ(second.Wait(kEndWaitMs), 9u);
  EXPECT_FALSE(gone->Success());
  EXPECT_NE(gone->GetLastErrorNo(), 0u);
  EXPECT_FALSE(gone->GetLastErrorStr().empty());  // the system's text for it
  EXPECT_FALSE(gone->GetHandle());                // a failed open is not cached
}

TEST_F(TerminateTest, AListWhoseProcessesAllEndedReturnsFalse) {
  testenv::ChildProcess one = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  testenv::ChildProcess two = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  ASSERT_TRUE(one.started() && two.started());
  const Ptr<IProcesses> list = process::FindProcesses("TW6Log.exe");
  ASSERT_EQ(list->GetItemCount(), 2);
  for (testenv::ChildProcess* child : {&one, &two})
    ASSERT_TRUE(testenv::EndAndWaitUntilGone(*child));
  EXPECT_FALSE(list->Terminate(0));
  EXPECT_NE(list->GetItem(1)->GetLastErrorNo(), 0u);

  const Ptr<IProcesses> empty = process::FindProcesses("TW6Log.exe");
  EXPECT_EQ(empty->GetItemCount(), 0);
  EXPECT_FALSE(empty->Terminate(0));
  EXPECT_EQ(empty->GetLastErrorNo(), 0u);
}

TEST_F(TerminateTest, EndsWithTheGivenCodeAndReusesTheCachedHandle) {
  testenv::ChildProcess guard = testenv::StartSleeperAs(a_ / L"TW6Guard.exe");
  ASSERT_TRUE(guard.started());
  const Ptr<IProcess> found = process::FindProcess("TW6Guard.exe");
  ASSERT_EQ(found->GetID(), guard.id());
  EXPECT_FALSE(found->GetHandle());
  EXPECT_TRUE(found->Terminate(0xDEADBEEF));
  const Ptr<process::IHandle> cached = found->GetHandle();
  ASSERT_TRUE(cached);
  const HANDLE value = cached->GetHandle();
  EXPECT_TRUE(cached->GetAccess() & PROCESS_TERMINATE);
  EXPECT_EQ(guard.Wait(kEndWaitMs), 0xDEADBEEFu);

  found->Terminate(3);  // the process has ended; the result is the system's to give
  EXPECT_EQ(found->GetHandle(), cached);
  EXPECT_EQ(found->GetHandle()->GetHandle(), value);
}

}  // namespace
