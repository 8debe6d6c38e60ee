#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "env/apptools2.h"
#include "app/startup.h"
#include "support/test_env.h"
#include "win/entry_points.h"

namespace {

TEST(EnvironmentTest, FolderOfPathCutsAtTheLastBackslash) {
  EXPECT_EQ(apptools2::FolderOfPath(L"C:\\Program Files\\TW 6\\TW6Maint.exe"),
            L"C:\\Program Files\\TW 6");
  EXPECT_EQ(apptools2::FolderOfPath(L"T:\\TW6Maint.exe"), L"T:");
  EXPECT_EQ(apptools2::FolderOfPath(L"TW6Maint.exe"), L"");
}

TEST(EnvironmentTest, Is64BitWindowsFollowsTheFamilyAndAMissingEntry) {
  app::StartUp();
  EXPECT_EQ(apptools2::Is64BitWindows, testenv::Is64BitSystem());
  win::Entries().isWow64Process = nullptr;
  apptools2::StartUp();
  EXPECT_FALSE(apptools2::Is64BitWindows);
  app::StartUp();
}

TEST(EnvironmentTest, AVirtualFolderHasNoPath) {
  EXPECT_EQ(apptools2::GetSpecialFolderPath(CSIDL_CONTROLS), L"");
}

}  // namespace
