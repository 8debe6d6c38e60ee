// Each command on a machine where the product is installed, as the installer runs it: from
// the product's program folder, with every part the program may touch present. Facts are read
// from the system; every fact the command must not change is compared before and after.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "support/family.h"
#include "support/maint.h"
#include "support/registry.h"
#include "support/sandbox.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kGuardValue[] = L"Dravelin Tidewell 6 Guard";
const wchar_t* const kLookalikes[] = {L"Dravelin Tidewell 6 Guard 2", L"Dravelin Tidewell 6",
                                      L"Dravelin Tidewell 6 GuardX"};

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
    // What single tests add beside the product.
    testenv::RemoveTree(layout.dataFolder + L" 4");
    for (const wchar_t* name : kLookalikes) {
      testenv::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, name, testenv::NativeView());
    }
    if (testenv::IsWow64()) {
      testenv::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kGuardValue, KEY_WOW64_32KEY);
    }
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
      if (!expected) {
        EXPECT_EQ(after.Value(fact.name), fact.value) << fact.name;
      }
    }
    EXPECT_EQ(run.exitCode, 0u);
    return run;
  }

  static long Loads(const testenv::MaintRun& run, const char* module) {
    return static_cast<long>(std::count(run.modules.begin(), run.modules.end(), module));
  }

  // Only the removal of user data needs the shell (and, with it, user32); loading them costs
  // every other command its start-up time.
  static void ExpectNoWindowingModules(const testenv::MaintRun& run) {
    if (!run.traced) return;
    for (const char* module : {"user32.dll", "shell32.dll", "ole32.dll"}) {
      EXPECT_EQ(Loads(run, module), 0) << module;
    }
  }

  static bool RunValuePresent(const wchar_t* name = kGuardValue,
                              REGSAM view = testenv::NativeView()) {
    return testenv::ReadValue(HKEY_LOCAL_MACHINE, kRunKey, name, view).found;
  }
};

TEST_F(WholeProgramTest, UninstallTakesDownServicesProcessesDriverAndVerbsOnly) {
  ASSERT_EQ(testenv::ServiceState(L"KorvaS"), static_cast<DWORD>(SERVICE_RUNNING));
  const testenv::MaintRun run =
      RunAndCompare(L"-UNINSTALL", {"service", "process", "HKLM\\SYSTEM", "HKCR", "messages"});

  // The guard hears 995 on its family's carrier only: the pipe's side is there on every system.
  const std::string channel = IPCClient::GuardChannelName(apptools2::GetCurrentUserName());
  const bool pipe = testenv::ThisFamily().carrier == testenv::Carrier::Pipe;
  EXPECT_EQ(product.GuardMessages(), pipe ? channel + " 4 e3030000" : "-");
  if (run.traced) {
    const std::vector<std::string> port = {"\\RPC Control\\TW6Ipc_" + channel};
    EXPECT_EQ(run.portConnects, pipe ? std::vector<std::string>{} : port);
  }
  ExpectNoWindowingModules(run);

  EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    EXPECT_EQ(sandbox::CountProcesses(name), 0) << name;
  }
  for (const wchar_t* key : {L"exefile\\shell\\tw5", L"Msi.Package\\shell\\tw5"}) {
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, key, testenv::NativeView()));
  }
  EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, L"exefile\\shell", testenv::NativeView()));
}

TEST_F(WholeProgramTest, InstallRewritesTheDriverAndVerbsAndLeavesTheRest) {
  ExpectNoWindowingModules(RunAndCompare(L"-install", {"service TW5IFS", "HKLM\\SYSTEM"}));
  EXPECT_TRUE(testenv::ServiceExists(L"TW5IFS"));
}

TEST_F(WholeProgramTest, DeleteAllUserDataRemovesTheThreeFoldersOnly) {
  ::CreateDirectoryW((layout.dataFolder + L" 4").c_str(), nullptr);
  const testenv::MaintRun run = RunAndCompare(L"-DELETEALLUSERDATA", {"folder"});
  EXPECT_FALSE(testenv::PathExists(layout.dataFolder));
  EXPECT_FALSE(testenv::PathExists(layout.dataFolder + L" 5"));
  EXPECT_FALSE(testenv::PathExists(layout.programFolder + L"\\SnapShots"));
  EXPECT_TRUE(testenv::PathExists(layout.dataFolder + L" 4"));
  EXPECT_TRUE(testenv::PathExists(layout.maint()));
  EXPECT_TRUE(run.debugLines.empty());
  if (run.traced) {
    for (const char* module : {"shell32.dll", "ole32.dll"}) {
      EXPECT_EQ(Loads(run, module), 1) << module;
    }
  }
}

TEST_F(WholeProgramTest, RemoveAutorunDeletesTheGuardsValueOnly) {
  // Look-alike names, and under WOW64 the 32-bit view's namesake, are not the guard's.
  for (const wchar_t* name : kLookalikes) {
    ASSERT_TRUE(testenv::WriteText(HKEY_LOCAL_MACHINE, kRunKey, name, L"x", testenv::NativeView()));
  }
  if (testenv::IsWow64()) {
    ASSERT_TRUE(
        testenv::WriteText(HKEY_LOCAL_MACHINE, kRunKey, kGuardValue, L"32", KEY_WOW64_32KEY));
  }
  const testenv::MaintRun run = RunAndCompare(L"-RemoveAutorun", {"HKLM\\SOFTWARE"});
  EXPECT_FALSE(RunValuePresent());
  for (const wchar_t* name : kLookalikes) EXPECT_TRUE(RunValuePresent(name));
  if (testenv::IsWow64()) {
    EXPECT_TRUE(RunValuePresent(kGuardValue, KEY_WOW64_32KEY));
  }
  EXPECT_TRUE(run.debugLines.empty());
  ExpectNoWindowingModules(run);
}

// No command runs for a word that is not one of the four, nor without a word: with the product
// installed nothing is stopped, ended, told or deleted; without it nothing is created.
TEST_F(WholeProgramTest, UnknownOrMissingWordsChangeNothing) {
  const wchar_t* const words[] = {L"",
                                  L"\"\"",
                                  L"UNINSTALL",
                                  L"/UNINSTALL",
                                  L"-UNINSTAL",
                                  L"-UNINSTALLX",
                                  L"--UNINSTALL",
                                  L"INSTALL",
                                  L"-INSTALLX",
                                  L"/DELETEALLUSERDATA",
                                  L"-REMOVEAUTORUN5"};
  for (const wchar_t* word : words) {
    SCOPED_TRACE(std::string(word, word + std::wcslen(word)));
    EXPECT_TRUE(RunAndCompare(word, {}).debugLines.empty());
  }
  product.StopProcesses();
  std::vector<std::string> problems;
  ASSERT_TRUE(product.Seed(layout, false, &problems)) << problems.front();
  for (const wchar_t* word : {L"", L"INSTALL", L"/INSTALL", L"-INSTALL-"}) {
    SCOPED_TRACE(std::string(word, word + std::wcslen(word)));
    EXPECT_TRUE(RunAndCompare(word, {}).debugLines.empty());
  }
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
}

}  // namespace
