#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// The deletion of held.txt waits until the read is cancelled or the pipe's writer closes.
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
  if (!::ReadFile(waiting.reader, &byte, 1, &read, nullptr) &&
      ::GetLastError() == ERROR_OPERATION_ABORTED) {
    ::InterlockedExchange(&waiting.cancelled, 1);
  }
  ::InterlockedExchange(&waiting.waiting, 0);
  return kStatusCancelled;
}

// A cancel that finds nothing it can end, as for a wait that cannot be cancelled.
BOOL WINAPI CancelNothing(HANDLE) {
  ::InterlockedIncrement(&waiting.cancelCalls);
  ::SetLastError(ERROR_NOT_FOUND);
  return FALSE;
}

enum class CancelEntry { Real, Missing, Fails };

class WaitingDeletionTest : public ::testing::TestWithParam<CancelEntry> {
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

// Where the wait can be cancelled, only the held file stays, with the top that holds it. Where
// it cannot, the pass is left to its thread, still waiting, and the run goes on with the next
// pass: the held file stays either way.
TEST_P(WaitingDeletionTest, TheRunGoesOnAndTheHeldFileStays) {
  testenv::ScratchFolder scratch(L"held deletion");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(
      top, {{L"a.txt"}, {L"held.txt"}, {L"c.txt"}, {L"empty\\"}, {L"sub\\"}, {L"sub\\b.txt"}});
  bool waitedAtFilePass = false;
  {
    ScopedSeams<win::EntryPoints> e(win::Entries());
    e->ntOpenFile = &OpenRecordingHeld;
    e->ntSetInformationFile = &DeleteWaiting;
    if (GetParam() == CancelEntry::Missing) e->cancelSynchronousIo = nullptr;
    if (GetParam() == CancelEntry::Fails) e->cancelSynchronousIo = &CancelNothing;
    disk::DeleteFilesInTree(top + L"\\");
    waitedAtFilePass = waiting.waiting != 0;
    disk::RemoveFolderTree(top + L"\\");
    // The abandoned pass's thread is released before the entries are put back.
    ::CloseHandle(waiting.writer);
    waiting.writer = nullptr;
    ASSERT_NE(waiting.waiter, nullptr);
    ASSERT_EQ(::WaitForSingleObject(waiting.waiter, INFINITE), WAIT_OBJECT_0);
  }
  EXPECT_TRUE(PathExists(top + L"\\held.txt"));
  EXPECT_FALSE(PathExists(top + L"\\empty"));
  if (GetParam() == CancelEntry::Real) {
    EXPECT_EQ(waiting.cancelled, 1);
    EXPECT_FALSE(waitedAtFilePass);
    EXPECT_FALSE(PathExists(top + L"\\a.txt"));
    EXPECT_FALSE(PathExists(top + L"\\c.txt"));
    EXPECT_FALSE(PathExists(top + L"\\sub"));
  } else {
    EXPECT_EQ(waiting.cancelled, 0);
    EXPECT_TRUE(waitedAtFilePass);
  }
  if (GetParam() == CancelEntry::Fails) {
    EXPECT_EQ(waiting.cancelCalls, 2);
  }
}

const char* const kCancelNames[] = {"Real", "Missing", "Fails"};

INSTANTIATE_TEST_SUITE_P(Cancel, WaitingDeletionTest,
                         ::testing::Values(CancelEntry::Real, CancelEntry::Missing,
                                           CancelEntry::Fails),
                         [](const ::testing::TestParamInfo<CancelEntry>& info) {
                           return std::string(kCancelNames[info.index]);
                         });

}  // namespace
