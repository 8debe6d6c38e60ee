#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "disk/user_data.h"
#include "support/test_env.h"

namespace {

TEST(UserDataTest, LiesUnderThePlatformsSharedFolder) {
  app::StartUp();
  // Common documents from Vista on, common application data before.
  const int csidl = testenv::IsXp() ? CSIDL_COMMON_APPDATA : CSIDL_COMMON_DOCUMENTS;
  wchar_t base[MAX_PATH];
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, base, csidl, FALSE));
  EXPECT_EQ(global::GetUserDataFolder(), std::wstring(base) + L"\\Dravelin\\Dravelin Tidewell");
}

struct FallbackCase {
  const char* name;
  DWORD major;
  const wchar_t* shellFolder;
  bool fallbackExists;
  const wchar_t* expected;
};

// Drive T: of the test prefixes is an empty folder, where the fallback's folder can be made.
class FallbackTest : public ::testing::TestWithParam<FallbackCase> {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const wchar_t* folder :
         {L"T:\\Users\\Public\\Documents", L"T:\\Users\\Public", L"T:\\Users"})
      ::RemoveDirectoryW(folder);
  }
};

TEST_P(FallbackTest, UsesPublicDocumentsOnTheWindowsDriveOnlyWhereItExists) {
  const FallbackCase& c = GetParam();
  if (c.fallbackExists) {
    ::CreateDirectoryW(L"T:\\Users", nullptr);
    ::CreateDirectoryW(L"T:\\Users\\Public", nullptr);
    ASSERT_TRUE(::CreateDirectoryW(L"T:\\Users\\Public\\Documents", nullptr));
  }
  EXPECT_EQ(global::UserDataFolderFor(c.major, c.shellFolder, L"T:\\Windows"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, FallbackTest,
    ::testing::Values(FallbackCase{"ShellAnswers", 6, L"X:\\Shared", true,
                                   L"X:\\Shared\\Dravelin\\Dravelin Tidewell"},
                      FallbackCase{"VistaFallback", 6, L"", true,
                                   L"T:\\Users\\Public\\Documents\\Dravelin\\Dravelin Tidewell"},
                      FallbackCase{"VistaFallbackMissing", 6, L"", false, L""},
                      FallbackCase{"XpHasNoFallback", 5, L"", true, L""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
