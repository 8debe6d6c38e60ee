#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/startup.h"
#include "process/kernel_objects.h"
#include "process/lookup.h"
#include "process/name_match.h"
#include "process/process_table.h"
#include "support/scoped_seams.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

// While set, the nothrow array allocations of this binary fail, as when the address space is
// spent.
bool g_failNothrowArrays = false;

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (g_failNothrowArrays) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

using process::IProcesses;
using process::Ptr;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::vector<DWORD> Ids(const Ptr<IProcesses>& list) {
  std::vector<DWORD> ids;
  for (int32_t i = 0; i < list->GetItemCount(); ++i) ids.push_back(list->GetItem(i)->GetID());
  return ids;
}

bool Holds(const Ptr<IProcesses>& list, DWORD id) {
  const std::vector<DWORD> ids = Ids(list);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

class FindProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override { app::StartUp(); }
  void TearDown() override {
    app::StartUp();  // undoes a replaced entry point
    EXPECT_EQ(process::KernelObjectCount(), 0u);
  }

  testenv::ScratchFolder a_{L"find a"};
  testenv::ScratchFolder b_{L"find b with a long name"};
};

TEST_F(FindProcessesTest, FindsTheProcessInAnyFolderAndLetterCase) {
  testenv::ChildProcess logger = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  ASSERT_TRUE(logger.started());
  for (const char* name : {"TW6Log.exe", "tw6log.exe", "TW6LOG.EXE", "tW6lOg.ExE"}) {
    const Ptr<IProcesses> list = process::FindProcesses(name);
    EXPECT_EQ(Ids(list), std::vector<DWORD>{logger.id()}) << name;
    EXPECT_EQ(list->GetLastErrorNo(), 0u);
    ASSERT_EQ(list->GetItemCount(), 1);
    // A 32-bit process is listed under its full image path.
    EXPECT_EQ(list->GetItem(0)->GetExeFile(), Narrow(b_ / L"TW6Log.exe"));
  }
}

TEST_F(FindProcessesTest, WildcardsOnlyAsTheWholeNameListEveryProcess) {
  testenv::ChildProcess logger = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  ASSERT_TRUE(logger.started());
  for (const char* all : {"*", "*.*", ""}) {
    const Ptr<IProcesses> list = process::FindProcesses(all);
    EXPECT_TRUE(Holds(list, logger.id())) << all;
    EXPECT_TRUE(Holds(list, ::GetCurrentProcessId())) << all;
    EXPECT_GE(list->GetItemCount(), 3) << all;
  }
  for (const char* pattern : {"TW6Log*.exe", "*Log.exe", "TW6Log.*", "*.exe", "TW6L?g.exe"}) {
    EXPECT_EQ(process::FindProcesses(pattern)->GetItemCount(), 0) << pattern;
  }
}

TEST_F(FindProcessesTest, AFilterWithAFolderMatchesOnlyThatPath) {
  testenv::ChildProcess inA = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  testenv::ChildProcess inB = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  ASSERT_TRUE(inA.started() && inB.started());

  EXPECT_EQ(Ids(process::FindProcesses(Narrow(a_ / L"TW6Log.exe"))), std::vector<DWORD>{inA.id()});
  // The short (8.3) form of the long folder name finds the same process.
  char shortPath[MAX_PATH];
  ASSERT_GT(::GetShortPathNameA(Narrow(b_ / L"TW6Log.exe").c_str(), shortPath, MAX_PATH), 0u);
  EXPECT_EQ(Ids(process::FindProcesses(shortPath)), std::vector<DWORD>{inB.id()});
  EXPECT_EQ(process::FindProcesses(Narrow(a_ / L"TW6.exe"))->GetItemCount(), 0);
}

TEST_F(FindProcessesTest, ListsInTableOrderAndFindProcessTakesTheFirst) {
  testenv::ChildProcess one = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  testenv::ChildProcess two = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  ASSERT_TRUE(one.started() && two.started());
  const DWORD first = testenv::FirstListed({one.id(), two.id()});
  const DWORD second = first == one.id() ? two.id() : one.id();

  const Ptr<IProcesses> list = process::FindProcesses("TW6Log.exe");
  EXPECT_EQ(Ids(list), (std::vector<DWORD>{first, second}));
  const Ptr<process::IProcess> found = process::FindProcess("TW6Log.exe");
  EXPECT_TRUE(found->IsValid());
  EXPECT_EQ(found->GetID(), first);
  EXPECT_EQ(found, list->GetItem(0));  // the object table's one object for that id
}

TEST_F(FindProcessesTest, RefreshDropsEndedProcessesKeepsTheOthersAndAddsNewOnes) {
  testenv::ChildProcess one = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  testenv::ChildProcess two = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  ASSERT_TRUE(one.started() && two.started());
  const Ptr<IProcesses> list = process::FindProcesses("TW6Log.exe");
  ASSERT_EQ(list->GetItemCount(), 2);
  const DWORD survivorId = list->GetItem(1)->GetID();
  const Ptr<process::IProcess> survivor = list->GetItem(1);
  testenv::ChildProcess& ended = list->GetItem(0)->GetID() == one.id() ? one : two;
  ended.Kill();
  ended = testenv::ChildProcess();

  testenv::ScratchFolder c(L"find c");
  testenv::ChildProcess three = testenv::StartSleeperAs(c / L"TW6Log.exe");
  ASSERT_TRUE(three.started());
  list->RefreshItems();
  EXPECT_EQ(Ids(list), (std::vector<DWORD>{survivorId, three.id()}));
  EXPECT_EQ(list->GetItem(0), survivor);
  EXPECT_EQ(survivor->GetIndex(list.get()), 0);
}

TEST_F(FindProcessesTest, ImagePathNeedsTheReadRightAndMemory) {
  testenv::ChildProcess logger = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  ASSERT_TRUE(logger.started());
  win::UniqueKernelHandle full(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, logger.id()));
  win::UniqueKernelHandle queryOnly(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, logger.id()));
  ASSERT_TRUE(full && queryOnly);
  EXPECT_EQ(process::ReadProcessImagePath(full.get()), Narrow(a_ / L"TW6Log.exe"));
  EXPECT_EQ(process::ReadProcessImagePath(queryOnly.get()), "?");
  // Without memory for the path the read fails as any other, and throws nothing.
  g_failNothrowArrays = true;
  const std::string withoutMemory = process::ReadProcessImagePath(full.get());
  g_failNothrowArrays = false;
  EXPECT_EQ(withoutMemory, "?");
}

// The lookups' opens of a process to read its image path, through their seam.
std::vector<DWORD> g_openedForPath;

HANDLE WINAPI RecordingOpen(DWORD access, BOOL inherit, DWORD id) {
  if (access & PROCESS_VM_READ) g_openedForPath.push_back(id);
  return ::OpenProcess(access, inherit, id);
}

std::vector<DWORD> Sorted(std::vector<DWORD> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Security products take a read of another process's memory (lsass.exe's, say) for credential
// theft: a lookup by name reads only the processes the table lists under that file name.
TEST_F(FindProcessesTest, ReadsTheMemoryOnlyOfProcessesListedUnderTheName) {
  testenv::ChildProcess inA = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  testenv::ChildProcess inB = testenv::StartSleeperAs(b_ / L"TW6Log.exe");
  testenv::ChildProcess guard = testenv::StartSleeperAs(a_ / L"TW6Guard.exe");
  ASSERT_TRUE(inA.started() && inB.started() && guard.started());
  ScopedSeams<process::ProcessTableSeams> seams(process::TestProcessTableSeams());
  seams->openProcess = RecordingOpen;

  for (const std::string& name : {std::string("tw6LOG.exe"), Narrow(b_ / L"TW6Log.exe")}) {
    g_openedForPath.clear();
    process::FindProcesses(name);
    EXPECT_EQ(Sorted(g_openedForPath), Sorted({inA.id(), inB.id()})) << name;
  }
  g_openedForPath.clear();
  process::FindProcesses("*");
  EXPECT_TRUE(Contains(g_openedForPath, guard.id()));
  EXPECT_TRUE(Contains(g_openedForPath, ::GetCurrentProcessId()));
}

using Listing = std::vector<std::pair<DWORD, std::string>>;

Listing ListingOf(const Ptr<IProcesses>& list) {
  Listing listing;
  for (int32_t i = 0; i < list->GetItemCount(); ++i) {
    const Ptr<process::IProcess> item = list->GetItem(i);
    listing.emplace_back(item->GetID(), item->GetExeFile());
  }
  return listing;
}

// What a lookup lists is the whole table, every image path read (the "*" list), filtered by
// the name: with and without a folder, in any letter case.
TEST_F(FindProcessesTest, ListsWhatTheWholeTableFilteredByTheNameGives) {
  testenv::ScratchFolder wrong(L"find wrong");
  testenv::ChildProcess inA = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
  // Under WOW64 a 64-bit one, listed under its table name and so compared by file name only.
  testenv::ChildProcess inB = testenv::StartSleeperAs(b_ / L"TW6Log.exe", testenv::IsWow64());
  testenv::ChildProcess guard = testenv::StartSleeperAs(a_ / L"TW6Guard.exe");
  ASSERT_TRUE(inA.started() && inB.started() && guard.started());
  const std::string pathA = Narrow(a_ / L"TW6Log.exe");
  std::string upperA = pathA;
  std::transform(upperA.begin(), upperA.end(), upperA.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  ASSERT_NE(upperA, pathA);

  const struct {
    std::string filter;
    bool findsA;
  } cases[] = {{"TW6Log.exe", true},
               {"tw6log.EXE", true},
               {pathA, true},
               {upperA, true},
               {Narrow(b_ / L"TW6Log.exe"), false},
               {Narrow(wrong / L"TW6Log.exe"), false},
               {"TW6Guard.exe", false},
               {"TW6.exe", false}};
  for (const auto& c : cases) {
    Listing expected;
    {
      const std::string filter = process::ExpandLongPath(c.filter);
      for (const auto& entry : ListingOf(process::FindProcesses("*"))) {
        if (process::NameMatches(filter, entry.second)) expected.push_back(entry);
      }
    }
    const Listing found = ListingOf(process::FindProcesses(c.filter));
    EXPECT_EQ(found, expected) << c.filter;
    EXPECT_EQ(std::count_if(found.begin(), found.end(),
                            [&](const auto& entry) { return entry.first == inA.id(); }),
              c.findsA ? 1 : 0)
        << c.filter;
  }
}

// The process table query, replaced: what each call asked for and what it answered.
struct TableQueryLog {
  std::vector<ULONG> sizes;
  LONG failWith = 0;            // answer every query of the table with this status
  bool reportNoLength = false;  // answer the size probe with length 0
  ULONG succeedFrom = 0;        // with reportNoLength: fail below this buffer size
  ULONG claimLength = 0;        // answer the size probe with this length
  ULONG reported = 0;
};
TableQueryLog* g_log = nullptr;
decltype(win::EntryPoints::ntQuerySystemInformation) g_real = nullptr;

LONG WINAPI LoggingQuery(ULONG infoClass, void* buffer, ULONG size, ULONG* returned) {
  if (infoClass != 5) return g_real(infoClass, buffer, size, returned);
  g_log->sizes.push_back(size);
  if (g_log->claimLength != 0) {
    if (returned) *returned = g_log->claimLength;
    return static_cast<LONG>(0xC0000004);
  }
  if (g_log->failWith != 0) {
    if (returned) *returned = 0;
    return g_log->failWith;
  }
  if (g_log->reportNoLength && (size == 0 || size < g_log->succeedFrom)) {
    if (returned) *returned = 0;
    return static_cast<LONG>(0xC0000004);
  }
  const LONG status = g_real(infoClass, buffer, size, returned);
  if (size == 0 && returned) g_log->reported = *returned;
  return status;
}

class ProcessTableQueryTest : public FindProcessesTest {
 protected:
  void SetUp() override {
    FindProcessesTest::SetUp();
    logger_ = testenv::StartSleeperAs(a_ / L"TW6Log.exe");
    ASSERT_TRUE(logger_.started());
    g_real = entries_->ntQuerySystemInformation;
    g_log = &log_;
    entries_->ntQuerySystemInformation = LoggingQuery;
  }
  void TearDown() override {
    g_log = nullptr;
    FindProcessesTest::TearDown();
  }
  ScopedSeams<win::EntryPoints> entries_{win::Entries()};
  TableQueryLog log_;
  testenv::ChildProcess logger_;
};

TEST_F(ProcessTableQueryTest, OneQueryAtTwiceTheReportedLength) {
  const Ptr<IProcesses> list = process::FindProcesses("TW6Log.exe");
  EXPECT_EQ(Ids(list), std::vector<DWORD>{logger_.id()});
  ASSERT_EQ(log_.sizes.size(), 2u);
  EXPECT_EQ(log_.sizes[0], 0u);
  EXPECT_GT(log_.reported, 0u);
  EXPECT_EQ(log_.sizes[1], 2 * log_.reported);
}

TEST_F(ProcessTableQueryTest, WithoutAReportedLengthGuessesDoubleFrom128KiB) {
  log_.reportNoLength = true;
  log_.succeedFrom = 512 * 1024;
  const Ptr<IProcesses> list = process::FindProcesses("TW6Log.exe");
  EXPECT_EQ(Ids(list), std::vector<DWORD>{logger_.id()});
  EXPECT_EQ(log_.sizes, (std::vector<ULONG>{0, 128 * 1024, 256 * 1024, 512 * 1024}));
}

TEST_F(ProcessTableQueryTest, AnUnreadableTableGivesAValidEmptyListWithTheStatus) {
  log_.reportNoLength = true;
  log_.succeedFrom = 0xFFFFFFFF;
  const Ptr<IProcesses> guessed = process::FindProcesses("TW6Log.exe");
  EXPECT_TRUE(guessed->IsValid());
  EXPECT_EQ(guessed->GetItemCount(), 0);
  EXPECT_EQ(guessed->GetLastErrorNo(), 0xC0000004u);
  EXPECT_EQ(log_.sizes,
            (std::vector<ULONG>{0, 128 << 10, 256 << 10, 512 << 10, 1 << 20, 2 << 20, 4 << 20}));

  log_ = TableQueryLog();
  log_.failWith = static_cast<LONG>(0xC0000017);  // no memory
  const Ptr<IProcesses> failed = process::FindProcesses("TW6Log.exe");
  EXPECT_TRUE(failed->IsValid());
  EXPECT_EQ(failed->GetItemCount(), 0);
  EXPECT_EQ(failed->GetLastErrorNo(), 0xC0000017u);
  EXPECT_FALSE(failed->GetLastErrorStr().empty());
  EXPECT_FALSE(process::FindProcess("TW6Log.exe")->IsValid());

  // Twice this length is all of a 32-bit process's 2 GiB: the buffer cannot be had.
  log_ = TableQueryLog();
  log_.claimLength = 0x7FFFFFFF / 2;
  const Ptr<IProcesses> unallocated = process::FindProcesses("TW6Log.exe");
  EXPECT_TRUE(unallocated->IsValid());
  EXPECT_EQ(unallocated->GetItemCount(), 0);
  EXPECT_EQ(unallocated->GetLastErrorNo(), 0xC0000017u);
  EXPECT_EQ(log_.sizes, std::vector<ULONG>{0});
}

}  // namespace
