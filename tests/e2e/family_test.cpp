// The platform family this run is in: the prefix is the family it is named for, listings take
// the family's class, and where the system has no sc.exe (2000) the program carries out the
// driver steps itself, as the system's tool would.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/startup.h"
#include "disk/disk.h"
#include "disk/native_dir.h"
#include "driver/Treiber_IFS.h"
#include "env/apptools2.h"
#include "support/driver_service.h"
#include "support/family.h"
#include "support/planted_sc.h"
#include "support/maint.h"
#include "support/registry.h"
#include "support/services.h"
#include "support/test_env.h"
#include "support/child_process.h"
#include "system/sc_commands.h"
#include "win/unique_handle.h"

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
  if (!named.systemSc) {
    EXPECT_TRUE(testenv::PathExists(testenv::SupportToolsSc()));
  }
}

// Listings ask for file ids where the family has them (not on 2000). The family's other ways are
// shown by the whole program's runs: the driver file and the registry view by -INSTALL, the
// carrier by -UNINSTALL's message to the guard, the data folder by -DELETEALLUSERDATA.
TEST(FamilyTest, ListingsAskForFileIdsFromXp) {
  app::StartUp();
  testenv::ScratchFolder folder(L"family listing");
  testenv::WriteFileText(folder / L"a.txt", "a");
  std::vector<std::wstring> files;
  disk::ListFilesInTree(folder.path(), L"*.*", files);
  EXPECT_EQ(files, std::vector<std::wstring>{folder / L"a.txt"});
  EXPECT_EQ(disk::native::ListsWithFileIds(), ThisFamily().listsFileIds);
}

// Stock Windows 2000: without the system's sc.exe the driver steps are carried out by the
// program itself; copies of sc.exe planted in the program folder and on PATH never run.
TEST(FamilyTest, WithoutTheSystemsScTheStepsAreCarriedOutAndNoPlantedCopyRuns) {
  if (ThisFamily().systemSc) GTEST_SKIP() << "this system has its own sc.exe";
  testenv::RemoveDriverService();
  testenv::ScratchFolder folder(L"no sc");
  const std::wstring exe = folder / L"TW6Maint.exe";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), exe));
  const testenv::PlantedScs planted(folder);
  ASSERT_TRUE(planted.planted());
  const testenv::MaintRun install = testenv::RunMaint(exe, L"-INSTALL");
  const bool created = testenv::ServiceExists(L"TW5IFS");
  const testenv::MaintRun removal = testenv::RunMaint(exe, L"-UNINSTALL");

  // The lines of each step and the service's removal are InstallTest's, in this family too.
  EXPECT_FALSE(planted.ran()) << "a planted sc.exe ran";
  EXPECT_TRUE(created);
  ASSERT_EQ(install.debugLines.size(), 3u);
  // The driver file is not there: the start is made and fails with the manager's error.
  EXPECT_NE(install.debugLines[2], "(TW Driver_Start) -> errorcode=-1");
  EXPECT_NE(install.debugLines[2], "(TW Driver_Start) -> errorcode=0");
  // It never started, so the stop finds it not active.
  ASSERT_FALSE(removal.debugLines.empty());
  EXPECT_EQ(removal.debugLines[0], "(TW Driver_Stop) -> errorcode=1062");
  testenv::RemoveDriverService();
}

using Values = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;

// Every value under the key and its subkeys, by "subkey\\name".
void ReadTree(HKEY parent, const std::wstring& path, const std::wstring& prefix, Values& values) {
  win::UniqueRegKey key;
  if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | testenv::NativeView(), key.put()) !=
      ERROR_SUCCESS) {
    return;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0, size = 0;
    std::vector<BYTE> data(65536);
    size = static_cast<DWORD>(data.size());
    if (::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    data.resize(size);
    values[prefix + name] = {type, data};
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (::RegEnumKeyExW(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ReadTree(key.get(), name, prefix + name + L"\\", values);
  }
}

// The service the program creates itself is the one the system's tool creates from the same
// command line, value for value: taken from the Support Tools' copy where the system has none.
TEST(FamilyTest, TheOwnCreateWritesWhatTheSystemsToolWrites) {
  testenv::RemoveDriverService();
  testenv::ScratchFolder folder(L"own create");
  const std::wstring command = Treiber_IFS::CreateCommandLine(folder.path(), ThisFamily().wow64);
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring tool =
      ThisFamily().systemSc ? std::wstring(system) + L"\\sc.exe" : testenv::SupportToolsSc();
  const HKEY machine = HKEY_LOCAL_MACHINE;

  // The own path carries out only the line of the program's own folder and platform.
  const std::wstring savedFolder = apptools2::ProgramFolder;
  const bool saved64 = apptools2::Is64BitWindows;
  apptools2::ProgramFolder = folder.path();
  apptools2::Is64BitWindows = ThisFamily().wow64;
  const int created = apptools2::RunScCommand(command);
  apptools2::ProgramFolder = savedFolder;
  apptools2::Is64BitWindows = saved64;
  ASSERT_EQ(created, 0);
  Values own;
  ReadTree(machine, testenv::kDriverServiceKey, L"", own);
  ASSERT_EQ(apptools2::RunScCommand(L"sc.exe delete TW5IFS"), 0);
  ASSERT_TRUE(testenv::WaitUntilServiceGone(L"TW5IFS"));
  EXPECT_FALSE(testenv::KeyExists(machine, testenv::kDriverServiceKey, testenv::NativeView()));

  // The same arguments after the tool's own path.
  ASSERT_EQ(command.compare(0, 7, L"sc.exe "), 0);
  ASSERT_EQ(testenv::RunToEnd(testenv::Quoted(tool) + command.substr(6)), 0u);
  Values reference;
  ReadTree(machine, testenv::kDriverServiceKey, L"", reference);
  testenv::RemoveDriverService();

  EXPECT_FALSE(own.empty());
  EXPECT_EQ(own, reference);
  for (const auto& [name, value] : reference) {
    const auto mine = own.find(name);
    EXPECT_TRUE(mine != own.end() && mine->second == value) << Narrow(name);
  }
}

}  // namespace
