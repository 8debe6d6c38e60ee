// Each command on a machine where the product is installed, as the installer runs it: from
// the product's program folder, with every part the program may touch present. Facts are read
// from the system; every fact the command must not change is compared before and after.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/maint.h"
#include "support/registry.h"
#include "support/sandbox.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

class WholeProgramTest : public ::testing::Test {
 protected:
  sandbox::Layout layout = sandbox::DefaultLayout();
  sandbox::InstalledProduct product;

  void SetUp() override {
    std::vector<std::string> problems;
    ASSERT_TRUE(product.Seed(layout, true, &problems)) << problems.front();
  }
  void TearDown() override {
    product.StopProcesses();
    sandbox::Clear(layout);
  }

  // Runs the command and checks that of all the facts only the expected ones changed.
  testenv::MaintRun RunAndCompare(const std::wstring& word, const std::set<std::string>& changing) {
    const sandbox::Snapshot before = sandbox::TakeSnapshot(layout, product);
    testenv::MaintRun run = testenv::RunMaint(layout.maint(), word);
    const sandbox::Snapshot after = sandbox::TakeSnapshot(layout, product);
    for (const sandbox::Snapshot::Fact& fact : before.facts) {
      bool expected = false;
      for (const std::string& prefix : changing) {
        expected = expected || fact.name.compare(0, prefix.size(), prefix) == 0;
      }
      if (!expected) EXPECT_EQ(after.Value(fact.name), fact.value) << fact.name;
    }
    EXPECT_EQ(run.exitCode, 0u);
    return run;
  }

  static bool VerbsPresent() {
    return testenv::KeyExists(HKEY_CLASSES_ROOT, L"exefile\\shell\\tw5\\command",
                              testenv::NativeView()) &&
           testenv::KeyExists(HKEY_CLASSES_ROOT, L"Msi.Package\\shell\\tw5\\command",
                              testenv::NativeView());
  }
  static bool RunValuePresent() {
    return testenv::ReadValue(HKEY_LOCAL_MACHINE,
                              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                              L"Dravelin Tidewell 6 Guard", testenv::NativeView())
        .found;
  }
};

TEST_F(WholeProgramTest, UninstallTakesDownServicesProcessesDriverAndVerbsOnly) {
  ASSERT_EQ(testenv::ServiceState(L"KorvaS"), static_cast<DWORD>(SERVICE_RUNNING));
  const testenv::MaintRun run =
      RunAndCompare(L"-UNINSTALL", {"service", "process", "HKLM\\SYSTEM", "HKCR", "messages"});

  EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    EXPECT_EQ(sandbox::CountProcesses(name), 0) << name;
  }
  EXPECT_FALSE(
      testenv::KeyExists(HKEY_CLASSES_ROOT, L"exefile\\shell\\tw5", testenv::NativeView()));
  EXPECT_FALSE(
      testenv::KeyExists(HKEY_CLASSES_ROOT, L"Msi.Package\\shell\\tw5", testenv::NativeView()));
  EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, L"exefile\\shell", testenv::NativeView()));
  EXPECT_TRUE(RunValuePresent());
  EXPECT_TRUE(testenv::PathExists(layout.dataFolder));
  if (testenv::IsXp()) {
    wchar_t user[256];
    DWORD size = 256;
    ASSERT_TRUE(::GetUserNameW(user, &size));
    const std::string ascii(user, user + size - 1);  // Wine's user is the Unix login, ASCII
    EXPECT_EQ(product.GuardMessages(), "TW6_GuardChannel_" + ascii + " 4 e3030000");
  }
  ASSERT_EQ(run.debugLines.size(), 3u);
  EXPECT_EQ(run.debugLines[1], "(TW Driver_Uninstall) -> sc.exe delete TW5IFS");
}

TEST_F(WholeProgramTest, InstallRewritesTheDriverAndVerbsAndLeavesTheRest) {
  const std::wstring driver = testenv::IsWow64() ? L"IFS64.sys" : L"IFS32.sys";
  const testenv::MaintRun run = RunAndCompare(L"-install", {"service TW5IFS", "HKLM\\SYSTEM"});

  EXPECT_TRUE(testenv::ServiceExists(L"TW5IFS"));
  const testenv::RawValue group =
      testenv::ReadValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\TW5IFS",
                         L"Group", testenv::NativeView());
  EXPECT_EQ(group.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(group.bytes, testenv::TextBytes(L"FSFilter Content Screener"));
  EXPECT_TRUE(VerbsPresent());
  const testenv::RawValue command = testenv::ReadValue(
      HKEY_CLASSES_ROOT, L"exefile\\shell\\tw5\\command", L"", testenv::NativeView());
  EXPECT_EQ(command.bytes,
            testenv::TextBytes(L"\"" + layout.programFolder + L"\\TW6Log.exe\" \"%1\""));
  // The service was there already: sc.exe create fails and says so, the values are rewritten.
  ASSERT_EQ(run.debugLines.size(), 3u);
  EXPECT_NE(run.debugLines[1], "(TW Driver_Install) -> errorcode=0");
  EXPECT_EQ(sandbox::CountProcesses(L"TW6Log.exe"), 2);
  EXPECT_EQ(testenv::ServiceState(L"KorvaS"), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(WholeProgramTest, DeleteAllUserDataRemovesTheThreeFoldersOnly) {
  const testenv::MaintRun run = RunAndCompare(L"-DELETEALLUSERDATA", {"folder"});
  EXPECT_FALSE(testenv::PathExists(layout.dataFolder));
  EXPECT_FALSE(testenv::PathExists(layout.dataFolder + L" 5"));
  EXPECT_FALSE(testenv::PathExists(layout.programFolder + L"\\SnapShots"));
  EXPECT_TRUE(testenv::PathExists(layout.maint()));
  EXPECT_TRUE(run.debugLines.empty());
}

TEST_F(WholeProgramTest, RemoveAutorunDeletesTheGuardsValueOnly) {
  const testenv::MaintRun run = RunAndCompare(L"-RemoveAutorun", {"HKLM\\SOFTWARE"});
  EXPECT_FALSE(RunValuePresent());
  EXPECT_TRUE(VerbsPresent());
  EXPECT_TRUE(run.debugLines.empty());
}

}  // namespace
