// The recipes of examples/ run for real, built as 6.0.0 and as 6.0.1: each installer puts the
// product in place and runs -INSTALL; run over an installed version it takes that one down
// first with its own -UNINSTALL; a repair puts back what was taken away; the silent removal
// takes the product down and, when asked, deletes the data. What Wine's msiexec cannot carry
// out (UPGRADINGPRODUCTCODE, rollback actions) the MSI's table test proves instead.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/debug_monitor.h"
#include "support/registry.h"
#include "support/sandbox.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kProduct[] = L"Dravelin Tidewell 6";
const wchar_t* const kVerbs[] = {L"exefile\\shell\\tw5\\command",
                                 L"Msi.Package\\shell\\tw5\\command"};
const wchar_t* const kProductPrograms[] = {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"};
const DWORD kInstallerWaitMs = 120000;
const DWORD kRebootRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

bool VerbPresent(const wchar_t* key) {
  return testenv::KeyExists(HKEY_CLASSES_ROOT, key, testenv::NativeView());
}

std::wstring TextOf(const testenv::RawValue& value) {
  if (!value.found || (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) return L"-";
  return std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                      value.bytes.size() / sizeof(wchar_t))
      .c_str();
}

DWORD DwordOf(const testenv::RawValue& value) {
  DWORD data = 0;
  if (value.found && value.type == REG_DWORD && value.bytes.size() == 4) {
    memcpy(&data, value.bytes.data(), 4);
  }
  return data;
}

// An Add/Remove Programs entry of the product, in whichever registry view it lies.
struct ArpEntry {
  std::wstring key;
  REGSAM view;
  std::wstring Text(const wchar_t* name) const {
    return TextOf(testenv::ReadValue(HKEY_LOCAL_MACHINE, key, name, view));
  }
  DWORD Dword(const wchar_t* name) const {
    return DwordOf(testenv::ReadValue(HKEY_LOCAL_MACHINE, key, name, view));
  }
};

std::vector<ArpEntry> ArpEntries() {
  std::vector<ArpEntry> entries;
  std::vector<REGSAM> views = {0};
  if (testenv::IsWow64()) views = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
  for (REGSAM view : views) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
      continue;
    }
    wchar_t name[256];
    for (DWORD i = 0, size = 256;
         ::RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = 256) {
      ArpEntry entry{std::wstring(kUninstallKey) + L"\\" + name, view};
      if (entry.Text(L"DisplayName") == kProduct) entries.push_back(entry);
    }
    ::RegCloseKey(key);
  }
  return entries;
}

// The product codes of the installed products of that name (whatever their upgrade code: a
// run stopped half-way can leave a product without one).
std::vector<std::wstring> InstalledMsiProducts() {
  std::vector<std::wstring> codes;
  wchar_t code[39];
  for (DWORD i = 0; ::MsiEnumProductsW(i, code) == ERROR_SUCCESS; ++i) {
    wchar_t name[128];
    DWORD size = 128;
    if (::MsiGetProductInfoW(code, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &size) ==
            ERROR_SUCCESS &&
        std::wstring(name) == kProduct) {
      codes.push_back(code);
    }
  }
  return codes;
}

class InstallerTest : public ::testing::Test {
 protected:
  sandbox::Layout layout = sandbox::DefaultLayout();
  sandbox::InstalledProduct product;
  testenv::ScratchFolder scratch{L"installer"};
  const std::wstring log = scratch / L"msi.log";

  static std::wstring Msi(const wchar_t* version) {
    return testenv::BuiltProgram(std::wstring(L"tw6-example-setup-") + version + L".msi");
  }
  static std::wstring Setup(const wchar_t* version) {
    return testenv::BuiltProgram(std::wstring(L"tw6-example-setup-") + version + L".exe");
  }

  void SetUp() override { Clean(); }
  void TearDown() override {
    product.StopProcesses();
    Clean();
  }
  void Clean() {
    // Only what an earlier run left: msiexec runs once for each product still installed.
    for (const std::wstring& code : InstalledMsiProducts()) {
      testenv::RunToEnd(L"msiexec /x " + code + L" /qn", L"", kInstallerWaitMs);
    }
    for (const ArpEntry& entry : ArpEntries()) {
      testenv::DeleteTree(HKEY_LOCAL_MACHINE, entry.key, entry.view);
    }
    sandbox::Clear(layout);
    testenv::RemoveTree(layout.programFolder);
  }

  DWORD RunMsiexec(const std::wstring& arguments) {
    return testenv::RunToEnd(L"msiexec " + arguments + L" /qn /l*v " + testenv::Quoted(log), L"",
                             kInstallerWaitMs);
  }
  // Runs an installer's command line to its end; the msiexec log on failure.
  void Run(const std::wstring& commandLine, DWORD expected = 0) {
    const DWORD code = testenv::RunToEnd(commandLine, L"", kInstallerWaitMs);
    EXPECT_EQ(code, expected) << testenv::ReadFileText(log);
  }
  void RunMsi(const std::wstring& arguments) {
    const DWORD code = RunMsiexec(arguments);
    EXPECT_EQ(code, 0u) << testenv::ReadFileText(log);
  }

  void ExpectInstalled() {
    EXPECT_TRUE(testenv::PathExists(layout.maint()));
    for (const wchar_t* name :
         {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe", L"IFS32.sys", L"IFS64.sys"}) {
      EXPECT_TRUE(testenv::PathExists(layout.programFolder + L"\\" + name)) << name;
    }
    EXPECT_TRUE(testenv::ServiceExists(L"TW5IFS"));
    for (const wchar_t* key : kVerbs) EXPECT_TRUE(VerbPresent(key)) << key;
  }

  // One entry in Add/Remove Programs, of this version.
  void ExpectOneEntry(const wchar_t* version) {
    const std::vector<ArpEntry> entries = ArpEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Text(L"DisplayVersion"), version);
  }

  // The product as it runs once installed: its processes, KorvaS, the Run value, the data.
  void SeedRunningProduct() {
    std::vector<std::string> problems;
    ASSERT_TRUE(product.Seed(layout, true, &problems)) << problems.front();
  }

  // What the installed version's -UNINSTALL ends before a new version goes in place.
  void ExpectOldVersionTakenDown() {
    EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
    for (const wchar_t* name : kProductPrograms) {
      EXPECT_EQ(sandbox::CountProcesses(name), 0) << name;
    }
  }

  void ExpectDataKept() {
    EXPECT_TRUE(testenv::PathExists(layout.dataFolder));
    EXPECT_TRUE(testenv::PathExists(layout.programFolder + L"\\SnapShots"));
  }

  void ExpectRemoved(bool withData) {
    ExpectOldVersionTakenDown();
    EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
    for (const wchar_t* key : kVerbs) EXPECT_FALSE(VerbPresent(key));
    EXPECT_FALSE(testenv::ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"Dravelin Tidewell 6 Guard",
                                    testenv::NativeView())
                     .found);
    EXPECT_EQ(testenv::PathExists(layout.dataFolder), !withData);
    if (withData) {
      for (const std::wstring& folder :
           {layout.dataFolder + L" 5", layout.programFolder + L"\\SnapShots"}) {
        EXPECT_FALSE(testenv::PathExists(folder));
      }
    }
    EXPECT_FALSE(testenv::PathExists(layout.maint()));
    EXPECT_TRUE(ArpEntries().empty());
  }

  // The silent removal as a script waits for it: in place (_?=), so that the wait covers the
  // removal; without it the uninstaller copies itself away and returns at once.
  void RunNsisRemoval(const std::wstring& options) {
    const std::wstring uninstaller = layout.programFolder + L"\\Uninstall.exe";
    ASSERT_TRUE(testenv::PathExists(uninstaller));
    Run(testenv::Quoted(uninstaller) + L" /S " + options + L" _?=" + layout.programFolder);
  }
};

TEST_F(InstallerTest, NsisInstallsAndRemovesWithData) {
  ASSERT_TRUE(testenv::PathExists(Setup(L"6.0.1"))) << "not built: is makensis installed?";
  Run(testenv::Quoted(Setup(L"6.0.1")) + L" /S");
  ExpectInstalled();
  ASSERT_NO_FATAL_FAILURE(ExpectOneEntry(L"6.0.1"));
  const ArpEntry entry = ArpEntries()[0];
  const std::wstring folder = layout.programFolder;
  EXPECT_EQ(entry.Text(L"Publisher"), L"Dravelin");
  EXPECT_EQ(entry.Text(L"UninstallString"), L"\"" + folder + L"\\Uninstall.exe\"");
  EXPECT_EQ(entry.Text(L"QuietUninstallString"), L"\"" + folder + L"\\Uninstall.exe\" /S");
  EXPECT_EQ(entry.Text(L"InstallLocation"), folder);
  EXPECT_EQ(entry.Dword(L"NoModify"), 1u);
  EXPECT_EQ(entry.Dword(L"NoRepair"), 1u);
  // In KB: TW6Maint.exe and the three programs' stand-ins alone are over 400 KB.
  EXPECT_GT(entry.Dword(L"EstimatedSize"), 400u);

  SeedRunningProduct();
  RunNsisRemoval(L"/REMOVEDATA");
  ExpectRemoved(true);
}

// Over an installation of the earlier recipe (the default folder, no entry), then over its own
// 6.0.0: each time the installed TW6Maint.exe -UNINSTALL ends the running product first.
TEST_F(InstallerTest, NsisUpgradesRefusesADowngradeAndRemovesKeepingData) {
  ASSERT_TRUE(testenv::PathExists(Setup(L"6.0.0"))) << "not built: is makensis installed?";
  SeedRunningProduct();
  Run(testenv::Quoted(Setup(L"6.0.0")) + L" /S");
  ExpectOldVersionTakenDown();
  ExpectInstalled();
  ASSERT_NO_FATAL_FAILURE(ExpectOneEntry(L"6.0.0"));

  SeedRunningProduct();
  Run(testenv::Quoted(Setup(L"6.0.1")) + L" /S");
  ExpectOldVersionTakenDown();
  ExpectInstalled();
  ExpectDataKept();
  ASSERT_NO_FATAL_FAILURE(ExpectOneEntry(L"6.0.1"));

  // The older setup refuses to go over it: 1638 (ERROR_PRODUCT_VERSION).
  Run(testenv::Quoted(Setup(L"6.0.0")) + L" /S", 1638);
  ExpectOneEntry(L"6.0.1");
  ExpectInstalled();

  RunNsisRemoval(L"");
  ExpectRemoved(false);
}

// An old driver that ignores the stop control: -UNINSTALL only marks it for deletion, so the
// new -INSTALL cannot create it again before the restart. Wine keeps a running service that is
// marked for deletion, as Windows does, so the setup's check sees it and asks for the restart.
TEST_F(InstallerTest, NsisAsksForRestartWhenTheOldDriverWillNotStop) {
  Run(testenv::Quoted(Setup(L"6.0.0")) + L" /S");
  testenv::DeleteTestService(L"TW5IFS");
  const std::wstring stuck = testenv::BuiltProgram(L"tw6-test-service.exe");
  ASSERT_TRUE(testenv::CreateTestService(L"TW5IFS", testenv::Quoted(stuck) + L" mode=no-stop"));
  ASSERT_TRUE(testenv::StartTestService(L"TW5IFS"));

  testenv::DebugMonitor monitor;
  ASSERT_TRUE(monitor.active());
  Run(testenv::Quoted(Setup(L"6.0.1")) + L" /S", kRebootRequired);
  // The new -INSTALL's sc create fails: Windows' sc.exe answers 1072 (marked for deletion),
  // Wine's ends with 1 on every failure.
  const std::vector<std::string> lines = monitor.StopAndTake(0);
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  const std::string install = "(TW Driver_Install) -> errorcode=";
  const auto created = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.compare(0, install.size(), install) == 0;
  });
  ASSERT_NE(created, lines.end()) << all;
  EXPECT_EQ(*created, install + (testenv::IsWine() ? "1" : "1072"));
  EXPECT_TRUE(testenv::IsMarkedForDeletion(L"TW5IFS"));
  EXPECT_TRUE(testenv::PathExists(layout.maint()));
  ExpectOneEntry(L"6.0.1");
}

// The setup's failures: without administrator rights it installs nothing and says so with
// 740; a failure after -INSTALL takes -INSTALL back and removes the files. The test build of
// the recipe produces both on request (Wine always reports an administrator).
struct Fault {
  const char* name;
  const wchar_t* option;
  DWORD exitCode;
};
void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.name; }

class NsisFailureTest : public InstallerTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(NsisFailureTest, LeavesNothingInstalled) {
  const std::wstring setup = testenv::BuiltProgram(L"tw6-example-setup-faults.exe");
  ASSERT_TRUE(testenv::PathExists(setup)) << "not built: is makensis installed?";
  Run(testenv::Quoted(setup) + L" /S " + GetParam().option, GetParam().exitCode);
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  for (const wchar_t* key : kVerbs) EXPECT_FALSE(VerbPresent(key));
  EXPECT_FALSE(testenv::PathExists(layout.maint()));
  EXPECT_FALSE(testenv::PathExists(layout.programFolder + L"\\Uninstall.exe"));
  EXPECT_TRUE(ArpEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, NsisFailureTest,
                         ::testing::Values(Fault{"WithoutAdministrator", L"/NOTADMIN", 740},
                                           Fault{"AfterInstall", L"/FAILAFTERINSTALL", 2}),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(InstallerTest, MsiInstallsRepairsWhatWasTakenAndRemovesWithData) {
  ASSERT_TRUE(testenv::PathExists(Msi(L"6.0.1"))) << "not built: are wixl and msibuild installed?";
  RunMsi(L"/i " + testenv::Quoted(Msi(L"6.0.1")));
  ExpectInstalled();
  ExpectOneEntry(L"6.0.1");

  // A repair runs -INSTALL again: the verbs and the driver taken away come back. Wine's
  // msiexec /f takes a product code only, so the repair goes through /i with REINSTALL.
  testenv::DeleteTree(HKEY_CLASSES_ROOT, L"exefile\\shell\\tw5", testenv::NativeView());
  testenv::DeleteTestService(L"TW5IFS");
  RunMsi(L"/i " + testenv::Quoted(Msi(L"6.0.1")) + L" REINSTALL=ALL REINSTALLMODE=vomus");
  ExpectInstalled();

  SeedRunningProduct();
  RunMsi(L"/x " + testenv::Quoted(Msi(L"6.0.1")) + L" REMOVEDATA=1");
  ExpectRemoved(true);
}

// 6.0.0, then 6.0.1 over it: the old product is removed first (its -UNINSTALL ends the running
// product), one product is left, the data stays. Wine sets no UPGRADINGPRODUCTCODE, so the old
// -REMOVEAUTORUN runs here: the Run value is the table test's to prove.
TEST_F(InstallerTest, MsiUpgradesRefusesADowngradeAndRemovesKeepingData) {
  ASSERT_TRUE(testenv::PathExists(Msi(L"6.0.0"))) << "not built: are wixl and msibuild installed?";
  RunMsi(L"/i " + testenv::Quoted(Msi(L"6.0.0")));
  ExpectInstalled();
  ExpectOneEntry(L"6.0.0");

  SeedRunningProduct();
  RunMsi(L"/i " + testenv::Quoted(Msi(L"6.0.1")));
  ExpectOldVersionTakenDown();
  ExpectInstalled();
  ExpectDataKept();
  ExpectOneEntry(L"6.0.1");
  EXPECT_EQ(InstalledMsiProducts().size(), 1u);

  // The older package refuses itself by its launch condition (1603). Wine's log does not
  // carry the condition's text: the table test reads it.
  EXPECT_EQ(RunMsiexec(L"/i " + testenv::Quoted(Msi(L"6.0.0"))), 1603u);
  EXPECT_EQ(InstalledMsiProducts().size(), 1u);
  ExpectOneEntry(L"6.0.1");
  ExpectInstalled();

  RunMsi(L"/x " + testenv::Quoted(Msi(L"6.0.1")));
  ExpectRemoved(false);
  EXPECT_TRUE(InstalledMsiProducts().empty());
}

}  // namespace
