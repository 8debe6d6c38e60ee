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

}  // namespace
