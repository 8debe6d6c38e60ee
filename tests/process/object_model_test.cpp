#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/startup.h"
#include "process/error_text.h"
#include "process/handle.h"
#include "process/lookup.h"
#include "process/processes.h"
#include "support/scoped_seams.h"
#include "win/entry_points.h"

namespace {

using process::IProcess;
using process::IProcesses;
using process::Make;
using process::Ptr;

// Ids no process has; the objects for them exist only in the model.
constexpr uint32_t kFakeId = 0x7FFF0000;

class ObjectModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::StartUp();
    ASSERT_EQ(process::KernelObjectCount(), 0u) << "an earlier test leaked process objects";
  }
  void TearDown() override { EXPECT_EQ(process::KernelObjectCount(), 0u); }

  // A list that the process table leaves empty.
  static Ptr<IProcesses> EmptyList() {
    return Make<process::TIProcesses>(true, 0, "", "no such process, tw6.exe");
  }
  static Ptr<IProcess> FakeProcess(uint32_t n) { return process::FindOrCreateProcess(kFakeId + n); }
};

TEST_F(ObjectModelTest, InvalidObjectFailsEveryCheckedOperationWith65537) {
  const Ptr<IProcess> none = process::FindProcess("no such process, tw6.exe");
  EXPECT_FALSE(none->IsValid());
  EXPECT_FALSE(none->Success());
  EXPECT_EQ(none->GetLastErrorNo(), 2u);
  const std::string text = none->GetLastErrorStr();  // the system's text, made on demand
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;

  EXPECT_FALSE(none->Terminate(0));
  EXPECT_EQ(none->GetLastErrorNo(), 0x10001u);
  EXPECT_EQ(none->GetLastErrorStr(), "This object is invalid.");
  EXPECT_FALSE(none->Success());
  EXPECT_EQ(none->GetID(), 0u);
}

TEST_F(ObjectModelTest, CapacityGrowsBy16ThenByHalf) {
  const Ptr<IProcesses> list = EmptyList();
  EXPECT_EQ(list->GetCapacity(), 0);
  std::vector<int32_t> capacities = {list->GetCapacity()};
  for (uint32_t n = 0; n < 55; ++n) {
    ASSERT_EQ(list->AddItem(FakeProcess(n)), static_cast<int32_t>(n));
    if (list->GetCapacity() != capacities.back()) capacities.push_back(list->GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{0, 16, 24, 36, 54, 81}));
  EXPECT_EQ(list->GetItemCount(), 55);

  list->SetCapacity(10);  // drops the items beyond the new capacity
  EXPECT_EQ(list->GetItemCount(), 10);
  EXPECT_EQ(process::KernelObjectCount(), 10u);
  list->SetCapacity(-1);
  EXPECT_EQ(list->GetLastErrorNo(), 87u);
  EXPECT_EQ(list->GetCapacity(), 10);
}

TEST_F(ObjectModelTest, AddingAnItemTwiceKeepsItsFirstIndex) {
  const Ptr<IProcesses> list = EmptyList();
  const Ptr<IProcess> first = FakeProcess(1);
  const Ptr<IProcess> second = FakeProcess(2);
  EXPECT_EQ(list->AddItem(first), 0);
  // The membership probe leaves error 2 in a new item until something replaces it.
  EXPECT_EQ(first->GetLastErrorNo(), 2u);
  EXPECT_FALSE(first->Success());
  EXPECT_EQ(list->AddItem(second), 1);
  EXPECT_EQ(list->AddItem(first), 0);
  EXPECT_EQ(list->AddItem(FakeProcess(2)), 1);  // the object table's same object
  EXPECT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->AddItem(Ptr<process::IBasic>()), -1);
  EXPECT_EQ(list->GetLastErrorNo(), 87u);
}

TEST_F(ObjectModelTest, DeletingMovesLaterItemsDownAndRejectsBadIndexes) {
  const Ptr<IProcesses> list = EmptyList();
  const Ptr<IProcess> a = FakeProcess(1), b = FakeProcess(2), c = FakeProcess(3);
  for (const auto& p : {a, b, c}) list->AddItem(p);

  for (int32_t bad : {-1, 3}) {
    EXPECT_FALSE(list->DeleteItem(bad));
    EXPECT_EQ(list->GetLastErrorNo(), 0x10002u);
    EXPECT_EQ(list->GetLastErrorStr(), "Invalid index.");
  }
  EXPECT_TRUE(list->DeleteItem(0));
  EXPECT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->GetItem(0), b);
  EXPECT_EQ(list->GetItem(1), c);
  EXPECT_EQ(b->GetIndex(list.get()), 0);
  EXPECT_EQ(c->GetIndex(list.get()), 1);
  EXPECT_EQ(a->GetIndex(list.get()), -1);
  EXPECT_EQ(a->GetLastErrorNo(), 2u);
  EXPECT_EQ(list->AddItem(a), 2);  // back in, at the end

  const Ptr<IProcess> outside = list->GetItem(3);
  EXPECT_FALSE(outside->IsValid());
  EXPECT_EQ(outside->GetLastErrorNo(), 0x10006u);
  EXPECT_EQ(outside->GetLastErrorStr(), "Index out of range.");
}

TEST_F(ObjectModelTest, AnItemInTwoListsKeepsAPositionInEach) {
  const Ptr<IProcesses> one = EmptyList(), two = EmptyList();
  const Ptr<IProcess> a = FakeProcess(1), b = FakeProcess(2);
  one->AddItem(a);
  one->AddItem(b);
  two->AddItem(b);
  EXPECT_EQ(b->GetIndex(one.get()), 1);
  EXPECT_EQ(b->GetIndex(two.get()), 0);
  one->DeleteItem(0);
  EXPECT_EQ(b->GetIndex(one.get()), 0);
  EXPECT_EQ(b->GetIndex(two.get()), 0);
}

TEST_F(ObjectModelTest, ObjectTableGivesOneObjectPerIdWhileReferenced) {
  Ptr<IProcesses> list = EmptyList();
  for (uint32_t n = 0; n < 20; ++n) list->AddItem(FakeProcess(n));
  Ptr<IProcess> kept = list->GetItem(5);
  EXPECT_EQ(FakeProcess(5), kept);
  EXPECT_NE(FakeProcess(6), kept);
  EXPECT_EQ(kept->GetID(), kFakeId + 5);
  EXPECT_EQ(process::KernelObjectCount(), 20u);
  list.Reset();  // releases the items nothing else holds
  EXPECT_EQ(process::KernelObjectCount(), 1u);
  EXPECT_EQ(FakeProcess(5), kept);
  kept.Reset();
  EXPECT_EQ(process::KernelObjectCount(), 0u);
}

TEST_F(ObjectModelTest, RefreshingAListOfGivenItemsFailsAndKeepsThem) {
  const Ptr<IProcess> a = FakeProcess(1);
  const Ptr<IProcesses> list =
      Make<process::TIProcesses>(true, 0, "", "TW6.exe", std::vector<Ptr<IProcess>>{a, nullptr});
  ASSERT_EQ(list->GetItemCount(), 1);
  list->RefreshItems();
  EXPECT_EQ(list->GetLastErrorNo(), 0x30000u);
  EXPECT_EQ(list->GetLastErrorStr(), "Can't refresh this kind of list.");
  EXPECT_EQ(list->GetItem(0), a);
}

TEST_F(ObjectModelTest, QueriesForMissingInterfacesFail) {
  const Ptr<IProcess> a = FakeProcess(1);
  EXPECT_FALSE(a.As<process::IHandle>());
  EXPECT_EQ(a->GetLastErrorNo(), 0x80004002u);
  EXPECT_EQ(a.As<process::IBasic>(), a);
  EXPECT_EQ(a.As<process::IKernelObj>()->GetID(), kFakeId + 1);
}

// A handle object for a fresh handle to this process is valid, has the handle's access and
// owner, and closes the handle when it goes.
void ExpectOwnProcessHandleLearnsItsAccess() {
  HANDLE own =
      ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, ::GetCurrentProcessId());
  ASSERT_TRUE(own);
  {
    const Ptr<process::IHandle> handle = Make<process::TIHandle>(
        true, 0, "", ::GetCurrentProcessId(), own, true, process::otProcess);
    EXPECT_TRUE(handle->IsValid());
    EXPECT_TRUE(handle->Success());
    EXPECT_EQ(handle->GetAccess() & (PROCESS_QUERY_INFORMATION | SYNCHRONIZE),
              static_cast<uint32_t>(PROCESS_QUERY_INFORMATION | SYNCHRONIZE));
    EXPECT_EQ(handle->GetOwnerProcess()->GetID(), ::GetCurrentProcessId());
  }
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(own, &flags));
}

TEST_F(ObjectModelTest, HandleObjectsNeedAHandleAndLearnItsAccess) {
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    const Ptr<process::IHandle> handle = Make<process::TIHandle>(
        true, 0, "", ::GetCurrentProcessId(), bad, true, process::otProcess);
    EXPECT_FALSE(handle->IsValid());
    EXPECT_EQ(handle->GetLastErrorNo(), 87u);
  }
  ExpectOwnProcessHandleLearnsItsAccess();
}

// The handle tables' query, replaced: it reports a length whose double no 32-bit process can
// allocate.
int g_handleTableQueries = 0;
decltype(win::EntryPoints::ntQuerySystemInformation) g_realQuery = nullptr;

LONG WINAPI UnallocatableHandleTable(ULONG infoClass, void* buffer, ULONG size, ULONG* returned) {
  if (infoClass != 64 && infoClass != 16) return g_realQuery(infoClass, buffer, size, returned);
  ++g_handleTableQueries;
  if (returned) *returned = 0x7FFFFFFF / 2;
  return static_cast<LONG>(0xC0000004);
}

// A table that cannot be had is a failed query: the object learns its own handle's access
// from the object itself.
TEST_F(ObjectModelTest, HandleObjectWithoutMemoryForTheHandleTableAsksTheObject) {
  {
    ScopedSeams<win::EntryPoints> e(win::Entries());
    g_realQuery = e->ntQuerySystemInformation;
    g_handleTableQueries = 0;
    e->ntQuerySystemInformation = UnallocatableHandleTable;
    ExpectOwnProcessHandleLearnsItsAccess();
  }
  EXPECT_EQ(g_handleTableQueries, 1);  // the extended table's length probe only
}

struct ErrorTextCase {
  uint32_t number;
  uint32_t textOf;  // the error whose system message this is, or 0 for the fixed form
};

// The system's message as one line: each line break a space.
std::string SystemText(DWORD error) {
  char buffer[1024];
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0x400, buffer, sizeof(buffer), nullptr);
  std::string text(buffer, length);
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  return text;
}

class ErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(ErrorTextTest, GivesOneLineOfSystemTextOrTheFixedForm) {
  const std::string text = process::ErrorText(GetParam().number);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  if (GetParam().textOf != 0) {
    EXPECT_EQ(text, SystemText(GetParam().textOf));
    EXPECT_EQ(text.find('$'), std::string::npos) << text;
  } else {
    char expected[32];
    snprintf(expected, sizeof(expected), "Unknown error $%x", GetParam().number);
    EXPECT_EQ(text, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Numbers, ErrorTextTest,
                         ::testing::Values(ErrorTextCase{2, 2}, ErrorTextCase{87, 87},
                                           // Status codes read as the error they stand for.
                                           ErrorTextCase{0xC0000022, 5},
                                           ErrorTextCase{0xC000000D, 87},
                                           ErrorTextCase{0x80070005, 5},
                                           ErrorTextCase{0x3FFF1234, 0}));

}  // namespace
