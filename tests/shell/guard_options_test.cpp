#include <gtest/gtest.h>

#include "app/startup.h"
#include "shell/nogui_GuardOptions.h"

namespace {

using namespace nogui_GuardOptions;

TEST(GuardOptionsTest, StartUpSetsTheFlagsAndBuildsOnlyMissingLists) {
  app::StartUp();
  for (bool flag : GuardFlags) EXPECT_TRUE(flag);
  ASSERT_TRUE(BrowserAndEditorNames && InstallerNamePatterns && RemovalNamePatterns &&
              InstallerWords && ShellAndBrowserNames);
  ASSERT_EQ(InstallerWords->size(), 3u);

  // A second run sets the flags again and leaves the existing lists as the guard left them.
  GuardFlags.fill(false);
  InstallerWords->push_back(L"Setup");
  const NameList* removal = RemovalNamePatterns.get();
  GuardOptions_SetDefaults();
  for (bool flag : GuardFlags) EXPECT_TRUE(flag);
  EXPECT_EQ(InstallerWords->size(), 4u);
  EXPECT_EQ(RemovalNamePatterns.get(), removal);

  InstallerWords.reset();
  GuardOptions_SetDefaults();
  EXPECT_EQ(InstallerWords->size(), 3u);
}

// Every entry, byte for byte and in order: the guard matches program names against them.
TEST(GuardOptionsTest, TheFiveListsHoldExactlyTheDefaultEntries) {
  for (auto* list : {&BrowserAndEditorNames, &InstallerNamePatterns, &RemovalNamePatterns,
                     &InstallerWords, &ShellAndBrowserNames}) {
    list->reset();
  }
  GuardOptions_SetDefaults();
  ASSERT_EQ(BrowserAndEditorNames->size(), 8u);
  EXPECT_EQ(NameList(BrowserAndEditorNames->begin(), BrowserAndEditorNames->begin() + 7),
            (NameList{L"ie.exe", L"iexplore.exe", L"firefox.exe", L"chrome.exe", L"opera.exe",
                      L"notepad.exe", L"wordpad.exe"}));
  // The vendor's updater: a relative path of three components, the vendor's folder first.
  const std::wstring updater = BrowserAndEditorNames->back();
  const std::wstring tail = L"\\updater\\updater.exe";
  ASSERT_GT(updater.size(), tail.size());
  EXPECT_EQ(updater.substr(updater.size() - tail.size()), tail);
  EXPECT_EQ(updater.find_first_of(L"\\/:"), updater.size() - tail.size());
  EXPECT_EQ(*InstallerNamePatterns,
            (NameList{L"*setup*.exe", L"*install*.exe", L"appinst.exe", L"asinstal.exe",
                      L"instalcd.exe", L"tuavinst.exe", L"wininst.exe", L"winsetup.exe",
                      L"wsetup.exe", L"wksbinst.exe", L"wrar*.exe"}));
  EXPECT_EQ(*RemovalNamePatterns, (NameList{L"*uninst*.exe", L"*deinstall*.exe", L"avast.setup"}));
  EXPECT_EQ(*InstallerWords, (NameList{L"Setup", L"Install", L"Installation"}));
  EXPECT_EQ(*ShellAndBrowserNames,
            (NameList{L"explorer.exe", L"ie.exe", L"iexplore.exe", L"firefox.exe", L"chrome.exe",
                      L"opera.exe", L"MicrosoftEdge.exe"}));
}

}  // namespace
