// The recipes of examples/ run for real: each installer puts the program in place and runs
// -INSTALL; with the product then running as installed, its silent removal takes it down and,
// when asked, deletes the data. The facts are those of the whole-program tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/registry.h"
#include "support/sandbox.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kVerbs[] = {L"exefile\\shell\\tw5\\command",
                                 L"Msi.Package\\shell\\tw5\\command"};
const DWORD kInstallerWaitMs = 120000;

bool VerbPresent(const wchar_t* key) {
  return testenv::KeyExists(HKEY_CLASSES_ROOT, key, testenv::NativeView());
}

class InstallerTest : public ::testing::Test {
 protected:
  sandbox::Layout layout = sandbox::DefaultLayout();
  sandbox::InstalledProduct product;
  testenv::ScratchFolder scratch{L"installer"};
  const std::wstring msi = testenv::BuiltProgram(L"tw6-example-setup.msi");

  void SetUp() override { Clean(); }
  void TearDown() override {
    product.StopProcesses();
    Clean();
  }
  void Clean() {
    // A removal that did not happen in an earlier run: msiexec answers 1605 when nothing is there.
    testenv::RunToEnd(L"msiexec /x " + testenv::Quoted(msi) + L" /qn", L"", kInstallerWaitMs);
    sandbox::Clear(layout);
    testenv::RemoveTree(layout.programFolder);
  }

  // Runs an installer's command line to its end; the msiexec log, if any, on failure.
  void Run(const std::wstring& commandLine, const std::wstring& log = L"") {
    const DWORD code = testenv::RunToEnd(commandLine, L"", kInstallerWaitMs);
    EXPECT_EQ(code, 0u) << (log.empty() ? "" : testenv::ReadFileText(log));
  }

  void ExpectInstalled() {
    EXPECT_TRUE(testenv::PathExists(layout.maint()));
    EXPECT_TRUE(testenv::ServiceExists(L"TW5IFS"));
    for (const wchar_t* key : kVerbs) EXPECT_TRUE(VerbPresent(key));
  }

  // The product as it runs once installed: its processes, KorvaS, the Run value, the data.
  void SeedRunningProduct() {
    std::vector<std::string> problems;
    ASSERT_TRUE(product.Seed(layout, true, &problems)) << problems.front();
  }

  void ExpectRemoved() {
    EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
    EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
    for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
      EXPECT_EQ(sandbox::CountProcesses(name), 0) << name;
    }
    for (const wchar_t* key : kVerbs) EXPECT_FALSE(VerbPresent(key));
    EXPECT_FALSE(testenv::ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"Dravelin Tidewell 6 Guard",
                                    testenv::NativeView())
                     .found);
    for (const std::wstring& folder :
         {layout.dataFolder, layout.dataFolder + L" 5", layout.programFolder + L"\\SnapShots"}) {
      EXPECT_FALSE(testenv::PathExists(folder));
    }
    EXPECT_FALSE(testenv::PathExists(layout.maint()));
  }
};

TEST_F(InstallerTest, NsisInstallsAndRemovesWithData) {
  const std::wstring setup = testenv::BuiltProgram(L"tw6-example-setup.exe");
  ASSERT_TRUE(testenv::PathExists(setup)) << "not built: is makensis installed?";
  Run(testenv::Quoted(setup) + L" /S");
  ExpectInstalled();
  const std::wstring uninstaller = layout.programFolder + L"\\Uninstall.exe";
  ASSERT_TRUE(testenv::PathExists(uninstaller));

  SeedRunningProduct();
  // _?= runs the uninstaller in place, so the wait covers the removal; without it the
  // uninstaller copies itself away and returns at once.
  Run(testenv::Quoted(uninstaller) + L" /S /REMOVEDATA _?=" + layout.programFolder);
  ExpectRemoved();
}

TEST_F(InstallerTest, MsiInstallsRunsNothingOnRepairAndRemovesWithData) {
  ASSERT_TRUE(testenv::PathExists(msi)) << "not built: is wixl installed?";
  const std::wstring log = scratch / L"msi.log";
  const std::wstring logged = L" /qn /l*v " + testenv::Quoted(log);
  Run(L"msiexec /i " + testenv::Quoted(msi) + logged, log);
  ExpectInstalled();

  // A repair puts files back but runs no command: the verbs taken away stay away. Wine's
  // msiexec /f takes a product code only, so the repair goes through /i with REINSTALL.
  testenv::DeleteTree(HKEY_CLASSES_ROOT, L"exefile\\shell\\tw5", testenv::NativeView());
  Run(L"msiexec /i " + testenv::Quoted(msi) + logged + L" REINSTALL=ALL REINSTALLMODE=vomus", log);
  EXPECT_FALSE(VerbPresent(kVerbs[0]));
  EXPECT_TRUE(VerbPresent(kVerbs[1]));

  SeedRunningProduct();
  Run(L"msiexec /x " + testenv::Quoted(msi) + logged + L" REMOVEDATA=1", log);
  ExpectRemoved();
}

}  // namespace
