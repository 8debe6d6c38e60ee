#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "disk/disk.h"
#include "disk/native_dir.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "support/unix_link.h"
#include "tree.h"
#include "win/entry_points.h"

// How the passes walk and delete: any depth, the deletion class, the opens, reparse tags. Wine
// lacks the extended deletion class and non-link reparse folders; those cases go through the
// module's seams.
namespace {

using disktest::Node;
using testenv::PathExists;

constexpr ULONG kFileDispositionInformation = 13;
constexpr ULONG kFileDispositionInformationEx = 64;
constexpr LONG kStatusNotImplemented = static_cast<LONG>(0xC0000002);
constexpr LONG kStatusInvalidInfoClass = static_cast<LONG>(0xC0000003);

void RunBothPasses(const std::wstring& top) {
  disk::DeleteFilesInTree(top + L"\\");
  disk::RemoveFolderTree(top + L"\\");
}

// A chain of one-letter folders, deeper than any recursion on a small stack could go, with a
// file at every hundredth level and at the bottom. Made from the Unix side where that is there:
// Wine's calls cost more the deeper the path.
void MakeChain(const std::wstring& top, int levels) {
  ASSERT_TRUE(::CreateDirectoryW(top.c_str(), nullptr));
  std::wstring relative;
  for (int level = 1; level <= levels; ++level) relative += level == 1 ? L"a" : L"\\a";
  if (!testenv::MakeUnixFolders(top, relative)) {
    std::wstring path = L"\\\\?\\" + top;
    for (int level = 1; level <= levels; ++level) {
      path += L"\\a";
      ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << level;
    }
  }
  std::wstring path = L"\\\\?\\" + top;
  for (int level = 1; level <= levels; ++level) {
    path += L"\\a";
    if (level % 100 == 0 || level == levels) testenv::WriteFileText(path + L"\\f.txt", "data");
  }
}

// The stack the walk takes, seen from the hook that runs before each folder is opened.
struct StackSpan {
  std::uintptr_t lowest = UINTPTR_MAX;
  std::uintptr_t highest = 0;
  int calls = 0;
};
StackSpan span;

void RecordStack(const std::wstring&, const std::wstring&) {
  volatile char here = 0;
  const auto address = reinterpret_cast<std::uintptr_t>(&here);
  span.lowest = std::min(span.lowest, address);
  span.highest = std::max(span.highest, address);
  ++span.calls;
}

// A walk that recursed once a level would take stack in step with the depth, and overflow at a
// depth any user below the data folder can make. Wine's calls cost more the deeper the path (its
// server resolves every open's whole path), so the chain stays within the test's time limit; the
// benchmark removes the deepest tree Wine allows.
TEST(DiskWalkTest, StackStaysFlatThroughEightHundredLevels) {
  testenv::ScratchFolder scratch(L"deep");
  const std::wstring top = scratch / L"Data";
  MakeChain(top, 800);
  if (HasFatalFailure()) return;

  span = StackSpan{};
  {
    ScopedSeams<disk::WalkSeams> seams(disk::TestWalkSeams());
    seams->listedFolder = &RecordStack;
    RunBothPasses(top);
  }
  EXPECT_FALSE(PathExists(top));
  EXPECT_GE(span.calls, 800);  // the hook saw every level
  EXPECT_LT(span.highest - span.lowest, 1024u);
}

// Below the depth cap, a chain stays as a folder that cannot be opened does, and the walk goes
// on with the rest of the tree: two chains and a plain folder, in whatever order they are listed.
TEST(DiskWalkTest, WhatLiesBelowTheDepthCapStaysAndTheWalkGoesOn) {
  testenv::ScratchFolder scratch(L"capped");
  const std::wstring top = scratch / L"Data";
  const std::wstring chains[] = {L"a", L"b"};
  std::vector<Node> tree = {{L"c\\"}, {L"c\\c.txt"}};
  for (const std::wstring& chain : chains) {
    std::wstring path;
    for (int level = 1; level <= 8; ++level) {
      path += chain + L"\\";
      tree.push_back({path});
      tree.push_back({path + L"f.txt"});
    }
  }
  disktest::MakeTree(top, tree);

  std::vector<std::wstring> files;
  {
    ScopedSeams<disk::WalkSeams> seams(disk::TestWalkSeams());
    seams->maxDepth = 5;
    disk::ListFilesInTree(top + L"\\", L"*.*", files);
    RunBothPasses(top);
  }

  EXPECT_EQ(files.size(), 11u);  // five levels of each chain and c.txt
  for (const std::wstring& chain : chains) {
    std::wstring path = top;
    for (int level = 1; level <= 8; ++level) {
      path += L"\\" + chain;
      EXPECT_TRUE(PathExists(path)) << level;
      EXPECT_EQ(PathExists(path + L"\\f.txt"), level > 5) << level;
    }
  }
  EXPECT_FALSE(PathExists(top + L"\\c"));
}

// The deletions the module asks for, through its set-information entry.
struct DeletionLog {
  win::NtFileInformationFn real = nullptr;
  bool acceptExtended = false;  // stand in for a system that has the extended class
  std::vector<ULONG> extendedFlags;
  std::vector<LONG> extendedStatus;
  int classic = 0;
};
DeletionLog deletions;

LONG NTAPI LogDeletion(HANDLE handle, void* io, void* information, ULONG length, ULONG infoClass) {
  if (infoClass == kFileDispositionInformation) ++deletions.classic;
  if (infoClass != kFileDispositionInformationEx) {
    return deletions.real(handle, io, information, length, infoClass);
  }
  const ULONG flags = *static_cast<const ULONG*>(information);
  deletions.extendedFlags.push_back(flags);
  LONG status;
  if (deletions.acceptExtended) {
    // Wine can only delete on close; the name going at once is the system's part.
    BOOLEAN deleteFile = (flags & 1) != 0;
    status =
        deletions.real(handle, io, &deleteFile, sizeof(deleteFile), kFileDispositionInformation);
  } else {
    status = deletions.real(handle, io, information, length, infoClass);
  }
  deletions.extendedStatus.push_back(status);
  return status;
}

class DeletionClassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    deletions = DeletionLog{};
    deletions.real = entries_->ntSetInformationFile;
    entries_->ntSetInformationFile = &LogDeletion;
  }

  ScopedSeams<win::EntryPoints> entries_{win::Entries()};

  const std::vector<Node> tree_ = {{L"a.txt"},     {L"b.txt"}, {L"ro.txt", FILE_ATTRIBUTE_READONLY},
                                   {L"c.txt"},     {L"sub\\"}, {L"sub\\d.txt"},
                                   {L"sub\\e.txt"}};
};

// Wine 8 answers the extended class with STATUS_NOT_IMPLEMENTED, Windows before 10 with
// STATUS_INVALID_INFO_CLASS: one refused call, then delete-on-close for the rest of the pass.
TEST_F(DeletionClassTest, RefusedExtendedClassIsTriedOncePerPass) {
  testenv::ScratchFolder scratch(L"classic");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(top, tree_);

  disk::DeleteFilesInTree(top + L"\\");
  ASSERT_FALSE(deletions.extendedStatus.empty());
  if (deletions.extendedStatus[0] != kStatusNotImplemented &&
      deletions.extendedStatus[0] != kStatusInvalidInfoClass) {
    GTEST_SKIP() << "the system has the extended deletion class";
  }
  EXPECT_EQ(deletions.extendedStatus.size(), 1u);
  EXPECT_GE(deletions.classic, 6);  // five files, the read-only one refused, and sub
  EXPECT_TRUE(PathExists(top + L"\\ro.txt"));
  EXPECT_FALSE(PathExists(top + L"\\a.txt"));
  EXPECT_FALSE(PathExists(top + L"\\sub"));

  ::SetFileAttributesW((top + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  disk::DeleteFilesInTree(top + L"\\");
  disk::RemoveFolderTree(top + L"\\");
  EXPECT_EQ(deletions.extendedStatus.size(), 3u);  // each pass tries once
  EXPECT_FALSE(PathExists(top));
}

// Where the system has the class, every deletion asks for POSIX semantics and never for
// deleting read-only files; the read-only file's refusal does not count as the class's.
TEST_F(DeletionClassTest, AcceptedExtendedClassDeletesWithPosixSemanticsOnly) {
  testenv::ScratchFolder scratch(L"posix");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(top, tree_);
  deletions.acceptExtended = true;

  RunBothPasses(top);
  EXPECT_EQ(deletions.classic, 0);
  // Five files, the read-only one refused in between, sub, and the top that still holds it.
  EXPECT_EQ(deletions.extendedFlags.size(), 8u);
  for (ULONG flags : deletions.extendedFlags) EXPECT_EQ(flags, 0x3u);  // DELETE | POSIX_SEMANTICS
  EXPECT_TRUE(PathExists(top + L"\\ro.txt"));
  EXPECT_FALSE(PathExists(top + L"\\c.txt"));
  EXPECT_FALSE(PathExists(top + L"\\sub"));
  disktest::ClearReadOnly(top, tree_);
}

// The opens, through the module's open entry.
std::vector<ULONG> openOptions;
win::NtOpenFileFn realOpen = nullptr;

LONG NTAPI LogOpen(HANDLE* handle, ACCESS_MASK access, void* attributes, void* io, ULONG share,
                   ULONG options) {
  openOptions.push_back(options);
  return realOpen(handle, access, attributes, io, share, options);
}

// Backup intent would bypass the access checks that DeleteFileW and RemoveDirectoryW make
// whenever a backup privilege is enabled; folders open as directories without it.
TEST(DiskWalkTest, OpensCarryNoBackupIntent) {
  testenv::ScratchFolder scratch(L"opens");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(top, {{L"a.txt"}, {L"sub\\"}, {L"sub\\b.txt"}, {L"sub\\deep\\"}});
  openOptions.clear();
  std::vector<std::wstring> files;
  {
    ScopedSeams<win::EntryPoints> e(win::Entries());
    realOpen = e->ntOpenFile;
    e->ntOpenFile = &LogOpen;
    disk::ListFilesInTree(top + L"\\", L"*.*", files);
    RunBothPasses(top);
  }

  EXPECT_EQ(files.size(), 2u);
  EXPECT_FALSE(PathExists(top));
  EXPECT_GE(openOptions.size(), 8u);
  for (ULONG options : openOptions)
    EXPECT_EQ(options & 0x4000u, 0u);  // FILE_OPEN_FOR_BACKUP_INTENT
}

// Wine has no reparse folders but its links, which report no tag: the listing of plain folders
// is given the tags of a cloud-file placeholder, a mount point and a symbolic link.
void TagByName(disk::native::Entry& entry) {
  ULONG tag = 0;
  if (entry.name == L"cloud" || entry.name == L"cloud.txt")
    tag = 0x9000001A;                              // IO_REPARSE_TAG_CLOUD
  if (entry.name == L"mount") tag = 0xA0000003;    // IO_REPARSE_TAG_MOUNT_POINT
  if (entry.name == L"symlink") tag = 0xA000000C;  // IO_REPARSE_TAG_SYMLINK
  if (tag == 0) return;
  entry.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  entry.reparseTag = tag;
}

TEST(DiskWalkTest, OnlyNameSurrogateReparseFoldersAreLinks) {
  testenv::ScratchFolder scratch(L"tags");
  const std::wstring top = scratch / L"Data";
  const std::vector<Node> tree = {{L"cloud\\"},          {L"cloud\\a.txt"}, {L"cloud\\in\\"},
                                  {L"cloud\\in\\b.txt"}, {L"cloud.txt"},    {L"mount\\"},
                                  {L"mount\\c.txt"},     {L"symlink\\"},    {L"symlink\\d.txt"}};
  disktest::MakeTree(top, tree);
  std::vector<std::wstring> files;
  {
    ScopedSeams<disk::native::ListingSeams> seams(disk::native::TestListingSeams());
    seams->listedEntry = &TagByName;
    disk::ListFilesInTree(top + L"\\", L"*.*", files);
    RunBothPasses(top);
  }

  EXPECT_EQ(std::set<std::wstring>(files.begin(), files.end()),
            (std::set<std::wstring>{top + L"\\cloud.txt", top + L"\\cloud\\a.txt",
                                    top + L"\\cloud\\in\\b.txt"}));
  EXPECT_FALSE(PathExists(top + L"\\cloud"));
  EXPECT_FALSE(PathExists(top + L"\\cloud.txt"));
  // Wine opens the "links" as the plain folders they are, so the links themselves stay too.
  EXPECT_TRUE(PathExists(top + L"\\mount\\c.txt"));
  EXPECT_TRUE(PathExists(top + L"\\symlink\\d.txt"));
}

// The listing entry, replaced: the class with file ids is refused with the status a file system
// gives for a class it does not know.
struct ListClassRefusal {
  win::NtQueryDirectoryFileFn real = nullptr;
  LONG status = 0;
  int refused = 0;
};
ListClassRefusal refusal;

LONG NTAPI RefuseIdClass(HANDLE folder, HANDLE event, void* apc, void* apcContext, void* io,
                         void* information, ULONG length, ULONG infoClass, BOOLEAN single,
                         void* name, BOOLEAN restart) {
  if (infoClass == 37) {  // FileIdBothDirectoryInformation
    ++refusal.refused;
    return refusal.status;
  }
  return refusal.real(folder, event, apc, apcContext, io, information, length, infoClass, single,
                      name, restart);
}

class ListClassRefusalTest : public ::testing::TestWithParam<LONG> {
 protected:
  void SetUp() override {
    refusal = ListClassRefusal{entries_->ntQueryDirectoryFile, GetParam(), 0};
    entries_->ntQueryDirectoryFile = &RefuseIdClass;
    disk::native::RestartListClass();
  }
  void TearDown() override { disk::native::RestartListClass(); }

  ScopedSeams<win::EntryPoints> entries_{win::Entries()};
};

// 2000 answers STATUS_INVALID_INFO_CLASS; redirectors and third-party file systems answer
// STATUS_INVALID_PARAMETER, STATUS_NOT_SUPPORTED, STATUS_NOT_IMPLEMENTED or
// STATUS_INVALID_DEVICE_REQUEST. Each is asked once, then the tree is listed with the older
// class and removed, not taken for empty.
TEST_P(ListClassRefusalTest, ATreeOnAVolumeWithoutTheIdClassIsRemoved) {
  if (!disk::native::ListsWithFileIds()) GTEST_SKIP() << "the system is not asked for file ids";
  testenv::ScratchFolder scratch(L"list class");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(top, {{L"a.txt"}, {L"sub\\"}, {L"sub\\b.txt"}, {L"sub\\deep\\"}});

  RunBothPasses(top);
  EXPECT_FALSE(PathExists(top));
  EXPECT_EQ(refusal.refused, 1);
  EXPECT_FALSE(disk::native::ListsWithFileIds());
}

const char* const kRefusalNames[] = {"InvalidInfoClass", "InvalidParameter", "NotSupported",
                                     "NotImplemented", "InvalidDeviceRequest"};

INSTANTIATE_TEST_SUITE_P(Status, ListClassRefusalTest,
                         ::testing::Values(static_cast<LONG>(0xC0000003),  // INVALID_INFO_CLASS
                                           static_cast<LONG>(0xC000000D),  // INVALID_PARAMETER
                                           static_cast<LONG>(0xC00000BB),  // NOT_SUPPORTED
                                           static_cast<LONG>(0xC0000002),  // NOT_IMPLEMENTED
                                           static_cast<LONG>(0xC0000010)   // INVALID_DEVICE_REQUEST
                                           ),
                         [](const ::testing::TestParamInfo<LONG>& info) {
                           return std::string(kRefusalNames[info.index]);
                         });

}  // namespace
