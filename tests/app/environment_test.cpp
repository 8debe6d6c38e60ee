#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "app/apptools2.h"
#include "app/startup.h"
#include "support/test_env.h"
#include "win/entry_points.h"

namespace {

class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override { app::StartUp(); }
  void TearDown() override { app::StartUp(); }
};

TEST_F(EnvironmentTest, ProgramFolderIsTheExecutablesFolderWithoutBackslash) {
  EXPECT_EQ(apptools2::ProgramFolder, testenv::BuildFolder());
  EXPECT_NE(apptools2::ProgramFolder.back(), L'\\');
}

TEST_F(EnvironmentTest, FolderOfPathCutsAtTheLastBackslash) {
  EXPECT_EQ(apptools2::FolderOfPath(L"C:\\Program Files\\TW 6\\TW6Maint.exe"),
            L"C:\\Program Files\\TW 6");
  EXPECT_EQ(apptools2::FolderOfPath(L"T:\\TW6Maint.exe"), L"T:");
  EXPECT_EQ(apptools2::FolderOfPath(L"TW6Maint.exe"), L"");
}

TEST_F(EnvironmentTest, Is64BitWindowsFollowsTheFamilyAndAMissingEntry) {
  EXPECT_EQ(apptools2::Is64BitWindows, !testenv::IsXp());
  win::Entries().isWow64Process = nullptr;
  apptools2::StartUp();
  EXPECT_FALSE(apptools2::Is64BitWindows);
}

TEST_F(EnvironmentTest, WindowsFolderMatchesTheSystem) {
  wchar_t expected[MAX_PATH];
  const UINT length = ::GetWindowsDirectoryW(expected, MAX_PATH);
  EXPECT_EQ(apptools2::WindowsFolder, std::wstring(expected, length));
}

TEST_F(EnvironmentTest, UserNameIsTheThreadsAccount) {
  wchar_t expected[256];
  DWORD size = 256;
  ASSERT_TRUE(::GetUserNameW(expected, &size));
  EXPECT_EQ(apptools2::GetCurrentUserName(), expected);
}

TEST_F(EnvironmentTest, SpecialFoldersHaveAPathOrNone) {
  const std::wstring appData = apptools2::GetSpecialFolderPath(CSIDL_COMMON_APPDATA);
  EXPECT_FALSE(appData.empty());
  EXPECT_TRUE(testenv::PathExists(appData));
  EXPECT_EQ(apptools2::GetSpecialFolderPath(CSIDL_CONTROLS), L"");
}

}  // namespace
