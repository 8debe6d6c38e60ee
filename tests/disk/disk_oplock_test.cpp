#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "disk/disk.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "tree.h"
#include "win/entry_points.h"

// Entries that another process holds an oplock on. Wine 8 grants none (it answers every oplock
// request with STATUS_NOT_SUPPORTED), so the holder is stood in for at the two calls that meet
// one: the open answers STATUS_OPLOCK_BREAK_IN_PROGRESS with a live handle, and the deletion
// waits in a synchronous read of a pipe that nobody writes, as it would wait for a holder who
// never acknowledges the break; CancelSynchronousIo ends that read as it ends such a wait.
namespace {

using disktest::Node;
using testenv::PathExists;

constexpr LONG kStatusOplockBreakInProgress = 0x00000108;
constexpr LONG kStatusCancelled = static_cast<LONG>(0xC0000120);
constexpr ULONG kCompleteIfOplocked = 0x00000100;
constexpr ULONG kFileDispositionInformation = 13;
constexpr ULONG kFileDispositionInformationEx = 64;

bool NameIs(void* objectAttributes, const std::wstring& name) {
  const UNICODE_STRING* counted = static_cast<OBJECT_ATTRIBUTES*>(objectAttributes)->ObjectName;
  const std::wstring full(counted->Buffer, counted->Length / sizeof(wchar_t));
  return full == name ||
         (full.size() > name.size() && full[full.size() - name.size() - 1] == L'\\' &&
          full.compare(full.size() - name.size(), name.size(), name) == 0);
}

// The open of one name is answered as an open that broke an oplock. Its handle is opened
// without sharing, so that only its closing lets the test open the entry again.
struct HeldOpen {
  win::NtOpenFileFn real = nullptr;
  std::wstring name;
  int held = 0;
  std::vector<ULONG> options;
};
HeldOpen heldOpen;

LONG NTAPI OpenHeld(HANDLE* handle, ACCESS_MASK access, void* attributes, void* io, ULONG share,
                    ULONG options) {
  heldOpen.options.push_back(options);
  if (!NameIs(attributes, heldOpen.name)) {
    return heldOpen.real(handle, access, attributes, io, share, options);
  }
  const LONG status = heldOpen.real(handle, access, attributes, io, 0, options);
  if (status != 0) return status;
  ++heldOpen.held;
  return kStatusOplockBreakInProgress;
}

struct HeldCase {
  const char* label;
  const wchar_t* held;  // "Data" is the top, the last of two checked levels
  int opens;            // of the held entry: files in the file pass only, folders in both
  std::vector<std::wstring> staying;
};

class HeldAtOpenTest : public ::testing::TestWithParam<HeldCase> {};

// The held entry is closed and left, with what is in it and the folders above it; the rest of
// the tree goes. A held top leaves the whole tree.
TEST_P(HeldAtOpenTest, TheHeldEntryIsClosedAndLeftAndTheRestGoes) {
  testenv::ScratchFolder scratch(L"held open");
  const std::wstring top = scratch / L"Data";
  const std::vector<Node> tree = {{L"a.txt"}, {L"held.txt"},   {L"held\\"},     {L"held\\in.txt"},
                                  {L"sub\\"}, {L"sub\\b.txt"}, {L"sub\\deep\\"}};
  disktest::MakeTree(top, tree);
  const std::vector<std::wstring> all = {L"a.txt", L"held.txt",   L"held",     L"held\\in.txt",
                                         L"sub",   L"sub\\b.txt", L"sub\\deep"};
  heldOpen = HeldOpen{win::Entries().ntOpenFile, GetParam().held, 0, {}};
  {
    ScopedSeams<win::EntryPoints> e(win::Entries());
    e->ntOpenFile = &OpenHeld;
    disk::DeleteFilesInTree(top + L"\\", 2);
    disk::RemoveFolderTree(top + L"\\", 2);
  }
  EXPECT_EQ(heldOpen.held, GetParam().opens);  // and never opened again in the same pass
  for (ULONG options : heldOpen.options)
    EXPECT_EQ(options & kCompleteIfOplocked, kCompleteIfOplocked);
  const std::vector<std::wstring>& staying = GetParam().staying;
  EXPECT_TRUE(PathExists(top));
  for (const std::wstring& entry : all) {
    const bool stays =
        staying.empty() || std::find(staying.begin(), staying.end(), entry) != staying.end();
    EXPECT_EQ(PathExists(top + L"\\" + entry), stays) << testing::PrintToString(entry);
  }
  const std::wstring held =
      GetParam().held == std::wstring(L"Data") ? top : top + L"\\" + GetParam().held;
  const HANDLE again = ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the held entry's handle was kept";
  if (again != INVALID_HANDLE_VALUE) ::CloseHandle(again);
}

INSTANTIATE_TEST_SUITE_P(
    Entry, HeldAtOpenTest,
    ::testing::Values(HeldCase{"File", L"held.txt", 1, {L"held.txt"}},
                      HeldCase{"Folder", L"held", 2, {L"held", L"held\\in.txt"}},
                      HeldCase{"Top", L"Data", 2, {}}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.label); });

// The deletion of held.txt waits until the read is cancelled or ends: a byte written ends it as
// the holder's acknowledgement would, and the deletion goes on; the writer's closing ends it as
// a failed call.
struct WaitingDeletion {
  win::NtOpenFileFn realOpen = nullptr;
  win::NtFileInformationFn realSet = nullptr;
  volatile HANDLE file = nullptr;  // the walk's handle of held.txt
  HANDLE reader = nullptr, writer = nullptr;
  HANDLE waiter = nullptr;  // the thread that waited, duplicated
  volatile LONG waiting = 0;
  volatile LONG cancelled = 0;
  volatile LONG cancelCalls = 0;
};
WaitingDeletion waiting;

LONG NTAPI OpenRecordingHeld(HANDLE* handle, ACCESS_MASK access, void* attributes, void* io,
                             ULONG share, ULONG options) {
  const LONG status = waiting.realOpen(handle, access, attributes, io, share, options);
  if (status == 0 && NameIs(attributes, L"held.txt")) waiting.file = *handle;
  return status;
}

LONG NTAPI DeleteWaiting(HANDLE handle, void* io, void* information, ULONG length,
                         ULONG infoClass) {
  const bool deletion =
      infoClass == kFileDispositionInformation || infoClass == kFileDispositionInformationEx;
  if (!deletion || handle != waiting.file || waiting.waiter) {
    return waiting.realSet(handle, io, information, length, infoClass);
  }
  ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                    &waiting.waiter, SYNCHRONIZE, FALSE, 0);
  ::InterlockedExchange(&waiting.waiting, 1);
  char byte;
  DWORD read = 0;
  const BOOL acknowledged = ::ReadFile(waiting.reader, &byte, 1, &read, nullptr);
  if (!acknowledged && ::GetLastError() == ERROR_OPERATION_ABORTED) {
    ::InterlockedExchange(&waiting.cancelled, 1);
  }
  ::InterlockedExchange(&waiting.waiting, 0);
  return acknowledged ? waiting.realSet(handle, io, information, length, infoClass)
                      : kStatusCancelled;
}

// A cancel that a wait ignores: it finds the call, which goes on waiting.
BOOL WINAPI CancelIgnored(HANDLE) {
  ::InterlockedIncrement(&waiting.cancelCalls);
  return TRUE;
}

// A step that is only slow has no call to cancel; it ends once the watcher has seen it stall
// for one bound more than a waiting step may.
BOOL WINAPI CancelFindsNothing(HANDLE) {
  if (::InterlockedIncrement(&waiting.cancelCalls) == 4) {
    DWORD written = 0;
    ::WriteFile(waiting.writer, "a", 1, &written, nullptr);
  }
  ::SetLastError(ERROR_NOT_FOUND);
  return FALSE;
}

struct WaitCase {
  const char* label;
  bool keepCancel;                         // the system's CancelSynchronousIo
  BOOL(WINAPI* cancel)(HANDLE) = nullptr;  // else this one
  bool passLeft = false;                   // the file pass returns with the deletion still waiting
  LONG cancelCalls = -1;                   // of the stand-in
};

class WaitingDeletionTest : public ::testing::TestWithParam<WaitCase> {
 protected:
  void SetUp() override {
    waiting = WaitingDeletion{win::Entries().ntOpenFile, win::Entries().ntSetInformationFile};
    ASSERT_TRUE(::CreatePipe(&waiting.reader, &waiting.writer, nullptr, 0));
  }
  void TearDown() override {
    if (waiting.writer) ::CloseHandle(waiting.writer);
    if (waiting.waiter) {
      ::WaitForSingleObject(waiting.waiter, INFINITE);
      ::CloseHandle(waiting.waiter);
    }
    ::CloseHandle(waiting.reader);
  }
};

// A cancelled wait leaves only the held file, with the top that holds it. A wait that cannot be
// cancelled leaves its pass to its thread, still waiting, and the run goes on with the next
// pass. A step that is only slow is waited for, and everything goes.
TEST_P(WaitingDeletionTest, TheRunGoesOnAndOnlyAHeldFileStays) {
  const WaitCase& param = GetParam();
  testenv::ScratchFolder scratch(L"held deletion");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(
      top, {{L"a.txt"}, {L"held.txt"}, {L"c.txt"}, {L"empty\\"}, {L"sub\\"}, {L"sub\\b.txt"}});
  bool waitingAfterFilePass = false;
  {
    ScopedSeams<win::EntryPoints> e(win::Entries());
    e->ntOpenFile = &OpenRecordingHeld;
    e->ntSetInformationFile = &DeleteWaiting;
    if (param.cancel) {
      e->cancelSynchronousIo = param.cancel;
    } else if (!param.keepCancel) {
      e->cancelSynchronousIo = nullptr;
    }
    disk::DeleteFilesInTree(top + L"\\");
    waitingAfterFilePass = waiting.waiting != 0;
    disk::RemoveFolderTree(top + L"\\");
    // A thread left waiting is released before the entries are put back.
    ::CloseHandle(waiting.writer);
    waiting.writer = nullptr;
    ASSERT_NE(waiting.waiter, nullptr);
    ASSERT_EQ(::WaitForSingleObject(waiting.waiter, INFINITE), WAIT_OBJECT_0);
  }
  EXPECT_EQ(waitingAfterFilePass, param.passLeft);
  EXPECT_EQ(waiting.cancelled, param.keepCancel ? 1 : 0);
  if (param.cancelCalls >= 0) {
    EXPECT_EQ(waiting.cancelCalls, param.cancelCalls);
  }
  EXPECT_FALSE(PathExists(top + L"\\empty"));
  if (param.cancel == &CancelFindsNothing) {
    EXPECT_FALSE(PathExists(top));
  } else {
    EXPECT_TRUE(PathExists(top + L"\\held.txt"));
  }
  if (!param.passLeft) {
    EXPECT_FALSE(PathExists(top + L"\\a.txt"));
    EXPECT_FALSE(PathExists(top + L"\\c.txt"));
    EXPECT_FALSE(PathExists(top + L"\\sub"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cancel, WaitingDeletionTest,
    ::testing::Values(WaitCase{"Cancelled", true},
                      WaitCase{"Missing", false, nullptr, true},  // before Vista
                      WaitCase{"Ignored", false, &CancelIgnored, true, 3},
                      WaitCase{"OnlySlow", false, &CancelFindsNothing, false, 4}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.label); });

// Running out of memory on a pass's thread would end the process there; it is raised on the
// caller's thread, as the walk raised it before it had a thread of its own.
void RunOutOfMemory(const std::wstring&, const std::wstring&) { throw std::bad_alloc(); }

TEST(WatchedPassTest, WhatEscapesThePassIsRaisedOnTheCallersThread) {
  testenv::ScratchFolder scratch(L"escape");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(top, {{L"sub\\"}, {L"sub\\a.txt"}});
  {
    ScopedSeams<disk::WalkSeams> seams(disk::TestWalkSeams());
    seams->listedFolder = &RunOutOfMemory;
    EXPECT_THROW(disk::DeleteFilesInTree(top + L"\\"), std::bad_alloc);
    EXPECT_THROW(disk::RemoveFolderTree(top + L"\\"), std::bad_alloc);
  }
  EXPECT_TRUE(PathExists(top + L"\\sub\\a.txt"));
}

}  // namespace
