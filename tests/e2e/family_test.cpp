// The platform family this run is in: the prefix is the family it is named for, the program
// takes each of that family's ways, and where the system has no sc.exe (2000) the driver steps
// run the product's own or, with none, fail the way they always did and go on.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "disk/disk.h"
#include "disk/native_dir.h"
#include "disk/user_data.h"
#include "driver/Treiber_IFS.h"
#include "env/apptools2.h"
#include "ipc/deliver.h"
#include "support/driver_service.h"
#include "support/family.h"
#include "support/maint.h"
#include "support/registry.h"
#include "support/services.h"
#include "support/test_env.h"
#include "system/REG.h"

namespace {

using testenv::ThisFamily;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(FamilyTest, ThePrefixIsTheFamilyItIsNamedFor) {
  if (!testenv::IsWine()) GTEST_SKIP() << "on Windows the family is the system's own";
  const testenv::Family named = ThisFamily();
  const testenv::Family system = testenv::FamilyOfSystem();
  EXPECT_TRUE(named.known) << "TW6_PREFIX names no family: " << named.name;
  EXPECT_EQ(system.version, named.version) << std::hex << "version 0x" << system.version;
  EXPECT_EQ(system.wow64, named.wow64);
  EXPECT_EQ(system.systemSc, named.systemSc);
  if (!named.systemSc) EXPECT_TRUE(testenv::PathExists(testenv::SupportToolsSc()));
}

TEST(FamilyTest, TheProgramTakesEachOfItsFamilysWays) {
  app::StartUp();
  const testenv::Family& family = ThisFamily();
  EXPECT_EQ(apptools2::Is64BitWindows, family.wow64);
  EXPECT_EQ(REG::Registry64BitView, family.view == KEY_WOW64_64KEY);
  EXPECT_EQ(ipc::ChosenCarrier() == ipc::Carrier::Pipe, family.carrier == testenv::Carrier::Pipe);
  const std::wstring command = Treiber_IFS::CreateCommandLine(L"C:\\p", apptools2::Is64BitWindows);
  EXPECT_NE(command.find(std::wstring(L"C:\\p\\") + family.driverFile + L"\""), std::wstring::npos)
      << Narrow(command);

  wchar_t base[MAX_PATH] = {};
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, base, family.dataFolderCsidl, FALSE));
  EXPECT_EQ(global::GetUserDataFolder(), std::wstring(base) + L"\\Dravelin\\Dravelin Tidewell");

  testenv::ScratchFolder folder(L"family listing");
  testenv::WriteFileText(folder / L"a.txt", "a");
  std::vector<std::wstring> files;
  disk::ListFilesInTree(folder.path(), L"*.*", files);
  EXPECT_EQ(files, std::vector<std::wstring>{folder / L"a.txt"});
  EXPECT_EQ(disk::native::ListsWithFileIds(), family.listsFileIds);
}

// Stock Windows 2000: without any sc.exe the driver steps log -1 and the run goes on; with the
// product's copy in the program folder they run it.
TEST(FamilyTest, WithoutTheSystemsScTheProductsCopyRunsAndWithoutAnyTheStepsGiveMinusOne) {
  if (ThisFamily().systemSc) GTEST_SKIP() << "this system has its own sc.exe";
  testenv::RemoveDriverService();
  testenv::ScratchFolder folder(L"no sc");
  const std::wstring exe = folder / L"TW6Maint.exe";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), exe));
  const std::string create =
      "(TW Driver_Install) -> sc.exe create TW5IFS type= filesys start= auto binPath= \"" +
      Narrow(folder / ThisFamily().driverFile) +
      "\" DisplayName= \"Dravelin Tidewell FileSystemChanges Driver\"";

  const testenv::MaintRun none = testenv::RunMaint(exe, L"-INSTALL");
  EXPECT_EQ(none.exitCode, 0u);
  EXPECT_EQ(none.debugLines,
            (std::vector<std::string>{create, "(TW Driver_Install) -> errorcode=-1",
                                      "(TW Driver_Start) -> errorcode=-1"}));
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, testenv::kExeVerbKey, testenv::NativeView()));

  ASSERT_TRUE(testenv::BringScWhereTheSystemHasNone(folder.path()));
  const testenv::MaintRun copy = testenv::RunMaint(exe, L"-INSTALL");
  ASSERT_EQ(copy.debugLines.size(), 3u);
  EXPECT_EQ(copy.debugLines[1], "(TW Driver_Install) -> errorcode=0");
  EXPECT_TRUE(testenv::ServiceExists(L"TW5IFS"));
  // The driver file is not there: the start runs and fails with the tool's own code.
  EXPECT_NE(copy.debugLines[2], "(TW Driver_Start) -> errorcode=-1");
  EXPECT_NE(copy.debugLines[2], "(TW Driver_Start) -> errorcode=0");

  const testenv::MaintRun removal = testenv::RunMaint(exe, L"-UNINSTALL");
  ASSERT_EQ(removal.debugLines.size(), 3u);
  EXPECT_EQ(removal.debugLines[2], "(TW Driver_Uninstall) -> errorcode=0");
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  testenv::RemoveDriverService();
  for (const wchar_t* verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
    testenv::DeleteTree(HKEY_CLASSES_ROOT, verb, testenv::NativeView());
  }
}

}  // namespace
