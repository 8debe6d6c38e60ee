#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "disk/disk.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "support/unix_link.h"
#include "tree.h"

// Directory links come from Unix symbolic links, which Wine shows as reparse points: these
// tests need Wine and skip elsewhere. Wine also cannot remove such a link without following
// it, so there the link itself stays, with the folders above it.
namespace {

using testenv::PathExists;
using testenv::UnixLink;

const std::vector<disktest::Node> kTargetFiles = {{L"f.txt"}, {L"sub\\"}, {L"sub\\g.txt"}};

void ExpectTargetIntact(const std::wstring& target, bool withFiles) {
  EXPECT_TRUE(PathExists(target));
  if (!withFiles) return;
  for (const auto& node : kTargetFiles) EXPECT_TRUE(PathExists(target + L"\\" + node.path));
}

class LinkTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!UnixLink::Available()) GTEST_SKIP() << "needs Wine's Unix symbolic links";
    scratch_ = std::make_unique<testenv::ScratchFolder>(L"links");
    target_ = *scratch_ / L"Target";
    disktest::MakeTree(target_, GetParam() ? kTargetFiles : std::vector<disktest::Node>{});
  }

  void RunBothPasses(const std::wstring& top) {
    disk::DeleteFilesInTree(top + L"\\");
    disk::RemoveFolderTree(top + L"\\");
  }

  std::unique_ptr<testenv::ScratchFolder> scratch_;
  std::wstring target_;
};

TEST_P(LinkTest, LinkInsideTheTreeIsNotFollowed) {
  const std::wstring top = *scratch_ / L"Data";
  disktest::MakeTree(top, {{L"a.txt"}, {L"sub\\"}, {L"sub\\b.txt"}});
  UnixLink link(top + L"\\sub\\link", target_);
  ASSERT_TRUE(link.made());

  RunBothPasses(top);
  ExpectTargetIntact(target_, GetParam());
  EXPECT_FALSE(PathExists(top + L"\\a.txt"));
  EXPECT_FALSE(PathExists(top + L"\\sub\\b.txt"));
}

TEST_P(LinkTest, TopThatIsALinkIsLeftAlone) {
  const std::wstring top = *scratch_ / L"Data";
  UnixLink link(top, target_);
  ASSERT_TRUE(link.made());
  RunBothPasses(top);
  ExpectTargetIntact(target_, GetParam());
  EXPECT_TRUE(PathExists(top));
}

INSTANTIATE_TEST_SUITE_P(Targets, LinkTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "WithFiles" : "Empty"; });

// A listed folder swapped for a link before the pass opens it.
struct Swap {
  std::wstring victim;  // the listed folder's path
  std::wstring movedTo;
  std::wstring target;
  std::unique_ptr<UnixLink> link;
  bool armed = false;
};
Swap swap;

void SwapVictim(const std::wstring& folder, const std::wstring& name) {
  if (!swap.armed || folder + name != swap.victim) return;
  swap.armed = false;
  ::MoveFileW(swap.victim.c_str(), swap.movedTo.c_str());
  swap.link = std::make_unique<UnixLink>(swap.victim, swap.target);
}

enum class SwapDuring { FilePass, FolderPass };

class SwapTest : public ::testing::TestWithParam<std::tuple<SwapDuring, bool>> {
 protected:
  void SetUp() override {
    if (!UnixLink::Available()) GTEST_SKIP() << "needs Wine's Unix symbolic links";
    seams_->listedFolder = &SwapVictim;
  }
  void TearDown() override {
    swap.link.reset();
    swap.armed = false;
  }

  ScopedSeams<disk::WalkSeams> seams_{disk::TestWalkSeams()};
};

TEST_P(SwapTest, FolderSwappedForALinkAfterListingIsNotFollowed) {
  const auto [during, withFiles] = GetParam();
  testenv::ScratchFolder scratch(L"swap");
  const std::wstring top = scratch / L"Data";
  // The read-only file keeps the victim through the file pass, so the folder pass lists it.
  const std::vector<disktest::Node> tree = {
      {L"a.txt"}, {L"victim\\"}, {L"victim\\ro.txt", FILE_ATTRIBUTE_READONLY}, {L"victim\\b.txt"}};
  disktest::MakeTree(top, tree);
  const std::wstring target = scratch / L"Target";
  disktest::MakeTree(target, withFiles ? kTargetFiles : std::vector<disktest::Node>{});
  swap.victim = top + L"\\victim";
  swap.movedTo = scratch / L"moved";
  swap.target = target;

  swap.armed = during == SwapDuring::FilePass;
  disk::DeleteFilesInTree(top + L"\\");
  swap.armed = swap.armed || during == SwapDuring::FolderPass;
  disk::RemoveFolderTree(top + L"\\");

  ASSERT_TRUE(swap.link && swap.link->made());
  ExpectTargetIntact(target, withFiles);
  EXPECT_FALSE(PathExists(top + L"\\a.txt"));
  EXPECT_TRUE(PathExists(swap.movedTo + L"\\ro.txt"));
  swap.link.reset();
  ::SetFileAttributesW((swap.movedTo + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(Passes, SwapTest,
                         ::testing::Combine(::testing::Values(SwapDuring::FilePass,
                                                              SwapDuring::FolderPass),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == SwapDuring::FilePass
                                                  ? "FilePass"
                                                  : "FolderPass") +
                                  (std::get<1>(info.param) ? "TargetWithFiles" : "EmptyTarget");
                         });

}  // namespace
