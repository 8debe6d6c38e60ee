#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "process/kernel_objects.h"
#include "process/lookup.h"
#include "support/scoped_seams.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "win/entry_points.h"

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

// The process table, replaced: the entry of one process id claims an earlier creation time and
// the name "TW6Log.exe", as the entry of a logger that has ended and whose id a new process has
// taken since.
DWORD g_reusedId = 0;
decltype(win::EntryPoints::ntQuerySystemInformation) g_realQuery = nullptr;

LONG WINAPI ReusedIdQuery(ULONG infoClass, void* buffer, ULONG size, ULONG* returned) {
  const LONG status = g_realQuery(infoClass, buffer, size, returned);
  if (infoClass != 5 || status != 0 || !buffer) return status;
  auto* entry = static_cast<unsigned char*>(buffer);
  for (;;) {
    DWORD id, next;
    std::memcpy(&id, entry + 68, 4);
    if (id == g_reusedId) {
      uint64_t created;
      std::memcpy(&created, entry + 32, 8);
      created -= 10000000;  // one second
      std::memcpy(entry + 32, &created, 8);
      const wchar_t name[] = L"TW6Log.exe";
      const USHORT nameBytes = sizeof(name) - sizeof(wchar_t);
      USHORT length;
      wchar_t* text;
      std::memcpy(&length, entry + 56, 2);
      std::memcpy(&text, entry + 60, 4);
      if (text && length >= nameBytes) {
        std::memcpy(text, name, nameBytes);
        std::memcpy(entry + 56, &nameBytes, 2);
      }
    }
    std::memcpy(&next, entry, 4);
    if (next == 0) return status;
    entry += next;
  }
}

// A 32-bit process's image path can be read; a 64-bit one under WOW64 is known by the table.
class ReusedIdTest : public TerminateTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReusedIdTest, AListedEntryWhoseIdNowNamesAnotherProcessLeavesThatProcessRunning) {
  if (GetParam() && !testenv::IsWow64()) GTEST_SKIP() << "no 64-bit processes here";
  testenv::ChildProcess stranger = testenv::StartSleeperAs(a_ / L"Stranger.exe", GetParam());
  ASSERT_TRUE(stranger.started());
  g_reusedId = stranger.id();
  Ptr<IProcesses> list;
  {
    ScopedSeams<win::EntryPoints> e(win::Entries());
    g_realQuery = e->ntQuerySystemInformation;
    e->ntQuerySystemInformation = ReusedIdQuery;
    list = process::FindProcesses("TW6Log.exe");
  }

  ASSERT_EQ(list->GetItemCount(), 1);
  const Ptr<IProcess> listed = list->GetItem(0);
  EXPECT_EQ(listed->GetID(), stranger.id());
  EXPECT_EQ(listed->GetExeFile(), "TW6Log.exe") << "the table's name, not the newcomer's";
  EXPECT_FALSE(list->Terminate(0));
  EXPECT_EQ(listed->GetLastErrorNo(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(listed->GetHandle());
  EXPECT_EQ(stranger.Wait(2000), static_cast<DWORD>(STILL_ACTIVE));
}

INSTANTIATE_TEST_SUITE_P(Bitness, ReusedIdTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "X64" : "X86";
                         });

}  // namespace
