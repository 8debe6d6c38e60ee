#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/startup.h"
#include "process/handle_table.h"
#include "support/scoped_seams.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

// A handle's entry in the system handle table: the extended table (full handle values), or on
// Windows 2000, which refuses that class, the classic one (16-bit values).
namespace {

constexpr LONG kStatusInvalidInfoClass = static_cast<LONG>(0xC0000003);

struct TableQueries {
  decltype(win::EntryPoints::ntQuerySystemInformation) real = nullptr;
  bool refuseExtended = false;
  std::vector<ULONG> classes;
};
TableQueries queries;

LONG WINAPI LogTableQuery(ULONG infoClass, void* buffer, ULONG size, ULONG* returned) {
  if (infoClass == 64 || infoClass == 16) queries.classes.push_back(infoClass);
  if (infoClass == 64 && queries.refuseExtended) {
    if (returned) *returned = 0;
    return kStatusInvalidInfoClass;
  }
  return queries.real(infoClass, buffer, size, returned);
}

DWORD Value(HANDLE handle) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(handle)); }

// A process handle whose value lies above 65535, and at its value cut to 16 bits an event
// handle with other rights: the lower slots are filled with copies of one event first.
class HandleTableTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    app::StartUp();
    event_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // Each copy takes the lowest free slot: copies are made up to the first one's value plus
    // 65536, and the process handle takes the slot that last copy leaves.
    DWORD target = 0;
    while (copies_.size() < 20000) {
      HANDLE copy = nullptr;
      if (!::DuplicateHandle(::GetCurrentProcess(), event_.get(), ::GetCurrentProcess(), &copy,
                             SYNCHRONIZE, FALSE, 0)) {
        return;
      }
      copies_.emplace_back(copy);
      if (target == 0) target = Value(copy) + 0x10000;
      if (Value(copy) >= target) break;
    }
    if (copies_.empty() || Value(copies_.back().get()) != target) return;
    copies_.pop_back();
    process_.reset(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, ::GetCurrentProcessId()));
  }
  static void TearDownTestSuite() {
    process_.reset();
    copies_.clear();
    event_.reset();
  }
  void SetUp() override {
    queries = TableQueries{entries_->ntQuerySystemInformation, GetParam(), {}};
    entries_->ntQuerySystemInformation = LogTableQuery;
  }

  ScopedSeams<win::EntryPoints> entries_{win::Entries()};

  static win::UniqueKernelHandle event_;
  static std::vector<win::UniqueKernelHandle> copies_;
  static win::UniqueKernelHandle process_;
};
win::UniqueKernelHandle HandleTableTest::event_;
std::vector<win::UniqueKernelHandle> HandleTableTest::copies_;
win::UniqueKernelHandle HandleTableTest::process_;

TEST_P(HandleTableTest, AHandleIsFoundByItsWholeValue) {
  ASSERT_TRUE(process_) << "no handle at 65536 above a copy after " << copies_.size() << " copies";
  const DWORD high = Value(process_.get());
  const DWORD low = Value(copies_.front().get());
  ASSERT_EQ(high, low + 0x10000);
  const DWORD pid = ::GetCurrentProcessId();

  process::TNtHandleItem found = {};
  if (GetParam()) {
    // The classic table cuts the high value to the low one's: the high handle is never found,
    // and which of the two the low value finds is the table's order.
    EXPECT_FALSE(process::FindSystemHandle(pid, high, &found));
    ASSERT_TRUE(process::FindSystemHandle(pid, low, &found));
    EXPECT_EQ(found.pid, pid);
    EXPECT_EQ(found.handle, low);
    EXPECT_EQ(queries.classes, (std::vector<ULONG>{64, 16, 16, 64, 16, 16}));
    return;
  }
  ASSERT_TRUE(process::FindSystemHandle(pid, high, &found));
  EXPECT_EQ(found.pid, pid);
  EXPECT_EQ(found.handle, high);
  EXPECT_EQ(found.access & PROCESS_QUERY_INFORMATION,
            static_cast<DWORD>(PROCESS_QUERY_INFORMATION));
  ASSERT_TRUE(process::FindSystemHandle(pid, low, &found));
  EXPECT_EQ(found.handle, low);
  EXPECT_EQ(found.access & PROCESS_QUERY_INFORMATION, 0u) << "the event copy's rights";
  EXPECT_EQ(queries.classes, (std::vector<ULONG>{64, 64, 64, 64}));
}

INSTANTIATE_TEST_SUITE_P(Table, HandleTableTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ClassicWhereExtendedIsRefused" : "Extended";
                         });

}  // namespace
