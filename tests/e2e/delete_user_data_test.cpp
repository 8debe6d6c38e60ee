#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "disk/user_data.h"
#include "support/family.h"
#include "support/maint.h"
#include "support/test_env.h"
#include "support/unix_link.h"

namespace {

using testenv::PathExists;
using testenv::WriteFileText;

// Works on the product's real data folders: they are cleared before and after each test.
class DeleteUserDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::StartUp();
    // The family's shared folder, found without the program: the runs must take this one.
    wchar_t base[MAX_PATH] = {};
    ASSERT_TRUE(
        ::SHGetSpecialFolderPathW(nullptr, base, testenv::ThisFamily().dataFolderCsidl, FALSE));
    data_ = std::wstring(base) + L"\\Dravelin\\Dravelin Tidewell";
    ASSERT_EQ(global::GetUserDataFolder(), data_);
    company_ = data_.substr(0, data_.find_last_of(L'\\'));
    testenv::RemoveTree(company_);
    ::CreateDirectoryW(company_.c_str(), nullptr);
    program_ = std::make_unique<testenv::ScratchFolder>(L"maint");
    ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), *program_ / L"TW6Maint.exe"));
  }
  void TearDown() override { testenv::RemoveTree(company_); }

  static void MakeFiles(const std::wstring& folder, std::initializer_list<const wchar_t*> files) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : files) {
      const std::wstring path = folder + L"\\" + file;
      if (path.back() == L'\\') {
        ::CreateDirectoryW(path.c_str(), nullptr);
      } else {
        WriteFileText(path, "data");
      }
    }
  }

  DWORD Run() {
    return testenv::RunMaint(*program_ / L"TW6Maint.exe", L"-DELETEALLUSERDATA").exitCode;
  }

  std::wstring data_, company_;
  std::unique_ptr<testenv::ScratchFolder> program_;
};

TEST_F(DeleteUserDataTest, WithoutSnapShotsFolderNothingElseGoes) {
  // A file of that name is not the snapshot folder.
  WriteFileText(*program_ / L"SnapShots", "not a folder");
  MakeFiles(*program_ / L"Other", {L"o.txt"});
  EXPECT_EQ(Run(), 0u);
  EXPECT_TRUE(PathExists(*program_ / L"SnapShots"));
  EXPECT_TRUE(PathExists(*program_ / L"Other\\o.txt"));
  EXPECT_TRUE(PathExists(company_));
}

TEST_F(DeleteUserDataTest, CompanyFolderThatIsALinkKeepsWhatIsBehindIt) {
  if (!testenv::UnixLink::Available()) GTEST_SKIP() << "needs Wine's Unix symbolic links";
  testenv::ScratchFolder outside(L"outside");
  const std::wstring name = data_.substr(data_.find_last_of(L'\\'));
  MakeFiles(outside.path() + name, {L"x.txt"});
  MakeFiles(outside.path() + name + L" 5", {L"y.txt"});
  ASSERT_TRUE(::RemoveDirectoryW(company_.c_str()));
  {
    testenv::UnixLink link(company_, outside.path());
    ASSERT_TRUE(link.made());
    EXPECT_EQ(Run(), 0u);
  }
  EXPECT_TRUE(PathExists(outside.path() + name + L"\\x.txt"));
  EXPECT_TRUE(PathExists(outside.path() + name + L" 5\\y.txt"));
}

}  // namespace
