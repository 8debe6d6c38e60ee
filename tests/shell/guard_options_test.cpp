#include <gtest/gtest.h>

#include "app/startup.h"
#include "shell/nogui_GuardOptions.h"

namespace {

using namespace nogui_GuardOptions;

TEST(GuardOptionsTest, StartUpBuildsTheDefaultsOnce) {
  app::StartUp();
  for (bool flag : GuardFlags) EXPECT_TRUE(flag);
  ASSERT_TRUE(BrowserAndEditorNames && InstallerNamePatterns && RemovalNamePatterns &&
              InstallerWords && ShellAndBrowserNames);
  EXPECT_EQ(BrowserAndEditorNames->size(), 8u);
  EXPECT_EQ(InstallerNamePatterns->size(), 11u);
  EXPECT_EQ(RemovalNamePatterns->size(), 3u);
  EXPECT_EQ(InstallerWords->size(), 3u);
  EXPECT_EQ(ShellAndBrowserNames->size(), 7u);
  EXPECT_EQ(BrowserAndEditorNames->front(), L"ie.exe");
  EXPECT_EQ(InstallerNamePatterns->back(), L"wrar*.exe");
  EXPECT_EQ(ShellAndBrowserNames->back(), L"MicrosoftEdge.exe");

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

}  // namespace
