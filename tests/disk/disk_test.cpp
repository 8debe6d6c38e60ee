#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "disk/disk.h"
#include "support/test_env.h"
#include "tree.h"

namespace {

using disktest::Node;
using testenv::PathExists;

struct RemovalCase {
  const char* name;
  std::vector<Node> tree;
  std::set<std::wstring> kept;  // paths below the top that stay; "" is the top itself
};

class TreeRemovalTest : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(TreeRemovalTest, BothPassesLeaveOnlyWhatCannotGo) {
  testenv::ScratchFolder scratch(L"removal");
  const std::wstring top = scratch / L"Data";
  disktest::MakeTree(top, GetParam().tree);

  disk::DeleteFilesInTree(top + L"\\");
  // The file pass leaves the top folder to the folder pass.
  EXPECT_TRUE(PathExists(top));
  disk::RemoveFolderTree(top + L"\\");

  const auto& kept = GetParam().kept;
  EXPECT_EQ(PathExists(top), kept.count(L"") == 1);
  for (const Node& node : GetParam().tree) {
    EXPECT_EQ(PathExists(top + L"\\" + node.path), kept.count(node.path) == 1) << node.path;
  }
  disktest::ClearReadOnly(top, GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, TreeRemovalTest,
    ::testing::Values(RemovalCase{"PlainTree",
                                  {{L"a.txt"},
                                   {L"sub\\"},
                                   {L"sub\\b.txt"},
                                   {L"sub\\deep\\"},
                                   {L"sub\\deep\\c.txt"},
                                   {L"empty\\"}},
                                  {}},
                      RemovalCase{"ReadOnlyFileKeepsItsFolders",
                                  {{L"a.txt"},
                                   {L"keep\\"},
                                   {L"keep\\inner\\"},
                                   {L"keep\\inner\\ro.txt", FILE_ATTRIBUTE_READONLY},
                                   {L"keep\\other.txt"},
                                   {L"keep\\side\\"},
                                   {L"gone\\"},
                                   {L"gone\\x.txt"}},
                                  {L"", L"keep\\", L"keep\\inner\\", L"keep\\inner\\ro.txt"}},
                      RemovalCase{"DotFolderStaysWithContentsAndParents",
                                  {{L"x.txt"},
                                   {L"app\\"},
                                   {L"app\\.cache\\"},
                                   {L"app\\.cache\\data.bin"},
                                   {L"app\\.cache\\sub\\"},
                                   {L"app\\.cache\\sub\\y.bin"},
                                   {L"other\\"},
                                   {L"other\\z.txt"}},
                                  {L"", L"app\\", L"app\\.cache\\", L"app\\.cache\\data.bin",
                                   L"app\\.cache\\sub\\", L"app\\.cache\\sub\\y.bin"}},
                      RemovalCase{
                          "DotFileIsDeleted", {{L".profile"}, {L"sub\\"}, {L"sub\\.profile"}}, {}},
                      RemovalCase{"MarkedEmptyFoldersAreRemoved",
                                  {{L"ro\\", FILE_ATTRIBUTE_READONLY},
                                   {L"hidden\\", FILE_ATTRIBUTE_HIDDEN},
                                   {L"system\\", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
                                   {L"hidden.txt", FILE_ATTRIBUTE_HIDDEN}},
                                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DiskTest, MissingTopChangesNothing) {
  testenv::ScratchFolder scratch(L"missing");
  testenv::WriteFileText(scratch / L"beside.txt", "data");
  disk::DeleteFilesInTree(scratch / L"absent\\");
  disk::RemoveFolderTree(scratch / L"absent\\");
  disk::RemoveFolderTree(scratch / L"absent\\deeper\\", 2);
  EXPECT_TRUE(PathExists(scratch / L"beside.txt"));
  EXPECT_TRUE(PathExists(scratch.path()));
}

TEST(DiskTest, ListsOwnFilesFirstAndSkipsDotFolders) {
  testenv::ScratchFolder scratch(L"list");
  disktest::MakeTree(scratch.path(), {{L"a.txt"},
                                      {L"b.log"},
                                      {L".e.txt"},
                                      {L"sub\\"},
                                      {L"sub\\c.txt"},
                                      {L".hidden\\"},
                                      {L".hidden\\d.txt"}});
  const std::wstring top = scratch.path() + L"\\";

  std::vector<std::wstring> all{L"first"};
  disk::ListFilesInTree(top, L"*.*", all);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0], L"first");  // appended to what the list held
  EXPECT_EQ(std::set<std::wstring>(all.begin() + 1, all.begin() + 4),
            (std::set<std::wstring>{top + L"a.txt", top + L"b.log", top + L".e.txt"}));
  EXPECT_EQ(all[4], top + L"sub\\c.txt");

  std::vector<std::wstring> texts;
  disk::ListFilesInTree(top, L"*.TXT", texts);
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts,
            (std::vector<std::wstring>{top + L".e.txt", top + L"a.txt", top + L"sub\\c.txt"}));
}

TEST(DiskTest, RemoveSubfoldersKeepsTheTopOnlyAtDepthZero) {
  testenv::ScratchFolder scratch(L"subfolders");
  for (int depth : {0, 1}) {
    const std::wstring top = scratch / (L"top" + std::to_wstring(depth));
    disktest::MakeTree(top, {{L"a\\"}, {L"a\\b\\"}, {L"c\\"}});
    disk::RemoveSubfoldersInTree(top + L"\\", depth);
    EXPECT_FALSE(PathExists(top + L"\\a"));
    EXPECT_FALSE(PathExists(top + L"\\c"));
    EXPECT_EQ(PathExists(top), depth == 0);
  }
}

}  // namespace
