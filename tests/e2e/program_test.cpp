// The built executable as the installer sees it: its image, its exit codes, its effects.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ipc/names.h"
#include "support/family.h"
#include "support/child_process.h"
#include "support/maint.h"
#include "support/planted_sc.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

std::string ReadAll(const std::wstring& path) { return testenv::ReadFileText(path); }

template <class T>
const T* At(const std::string& image, size_t offset) {
  return offset + sizeof(T) <= image.size() ? reinterpret_cast<const T*>(image.data() + offset)
                                            : nullptr;
}

TEST(ProgramImageTest, GuiSubsystemSystemImportsAndAdministratorManifest) {
  const std::string image = ReadAll(testenv::BuiltMaint());
  const auto* dos = At<IMAGE_DOS_HEADER>(image, 0);
  ASSERT_TRUE(dos);
  const auto* nt = At<IMAGE_NT_HEADERS32>(image, dos->e_lfanew);
  ASSERT_TRUE(nt);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

  // Walk the import directory: every DLL must be one the system ships.
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const auto* sections = IMAGE_FIRST_SECTION(nt);
  auto fileOffset = [&](DWORD rva) -> size_t {
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
      const auto& s = sections[i];
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    return image.size();
  };
  std::set<std::string> dlls;
  for (size_t at = fileOffset(dir.VirtualAddress);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(image, at);
    ASSERT_TRUE(entry);
    if (entry->Name == 0) break;
    std::string name = image.c_str() + fileOffset(entry->Name);
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    dlls.insert(name);
  }
  // Not shell32, ole32 or user32: the steps that need them load them, from the system folder.
  const std::set<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
  for (const std::string& dll : dlls) EXPECT_TRUE(system.count(dll)) << dll;

  HMODULE module =
      ::LoadLibraryExW(testenv::BuiltMaint().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(module);
  HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_TRUE(manifest);
  const std::string text(static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
                         ::SizeofResource(module, manifest));
  EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(text.find("supportedOS"), std::string::npos);
  EXPECT_TRUE(::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)));  // version
  ::FreeLibrary(module);
}

// What the program looks up and the objects it opens stand in the image only scrambled. Short
// tags such as "_Mutex" can occur by chance in library code (a type name, say), and "Unknown
// error" in the C runtime's own texts; the long texts and every assembled name must not.
TEST(ProgramImageTest, LookedUpNamesAndChannelTextsStandOnlyScrambled) {
  const std::string image = ReadAll(testenv::BuiltMaint());
  ASSERT_FALSE(image.empty());
  std::vector<std::string> plain = {"RtlNtStatusToDosError", "netmsg.dll"};
  for (ipc::FixedText t :
       {ipc::FixedText::PortPrefix, ipc::FixedText::QueueTag, ipc::FixedText::CounterTag,
        ipc::FixedText::AnswerTag, ipc::FixedText::SessionPrefix}) {
    plain.emplace_back(ipc::Text(t));
  }
  for (const std::string& name :
       {ipc::QueueMutexName("TW6_GuardChannel_"), ipc::QueueMapName("TW6_GuardChannel_"),
        ipc::AnswerEventName(ipc::AnswerBaseName("TW6_GuardChannel_", 1), 1)}) {
    plain.push_back(name.substr(name.size() - 12));
  }
  for (const std::string& text : plain) EXPECT_EQ(image.find(text), std::string::npos) << text;
}

// A DLL that another user planted in the folder the installer started the program from (often
// his downloads) is not found by a bare-name load once the start-up has narrowed the search: on
// each path a system may take.
class DllSearchTest : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(DllSearchTest, APlantInTheStartingFolderIsNotFoundAfterStartUp) {
  testenv::ScratchFolder folder(L"downloads");
  const std::wstring name = L"tw6-planted-" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltProgram(L"tw6-planted.bin"), folder / name));
  const std::wstring command =
      testenv::Quoted(testenv::BuiltProgram(L"tw6-dll-search.exe")) + L" " + name + GetParam();
  EXPECT_EQ(testenv::RunToEnd(command, folder.path()), 0u)
      << "1: not found before, 2: found after, 3: not moved to the system folder";
}

INSTANTIATE_TEST_SUITE_P(Paths, DllSearchTest, ::testing::Values(L"", L" no-default", L" neither"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                           const std::wstring path = info.param;
                           return path.empty()             ? std::string("DefaultDirectories")
                                  : path == L" no-default" ? std::string("DllDirectory")
                                                           : std::string("CurrentFolderOnly");
                         });

class ProgramRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::DeleteTestService(L"KorvaS");
    ASSERT_TRUE(testenv::CreateTestService(
        L"KorvaS", testenv::Quoted(testenv::BuiltProgram(L"tw6-sleeper.exe"))));
  }
  void TearDown() override { testenv::DeleteTestService(L"KorvaS"); }
};

// An elevated run must not take an sc.exe that someone planted in its folder or on PATH (on
// 2000 any user may make a folder under C:\), also where the system has none of its own.
TEST_F(ProgramRunTest, RunsFromAFolderWithBlanksIgnoringPlantedScs) {
  testenv::ScratchFolder folder(L"program folder");
  const std::wstring exe = folder / L"TW6Maint.exe";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), exe));
  DWORD code = 1;
  bool ran = true;
  {
    const testenv::PlantedScs planted(folder);
    ASSERT_TRUE(planted.planted());
    code = testenv::RunMaint(exe, L"-UNINSTALL").exitCode;
    ran = planted.ran();
  }
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(ran) << "a planted sc.exe ran";
  EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
}

TEST_F(ProgramRunTest, RunsFromTheRootOfADrive) {
  // Drive T: is an empty folder that tools/prefix maps in each prefix.
  if (::GetDriveTypeW(L"T:\\") == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "no drive T: in this machine";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), L"T:\\TW6Maint.exe"));
  const DWORD code = testenv::RunMaint(L"T:\\TW6Maint.exe", L"-UNINSTALL").exitCode;
  ::DeleteFileW(L"T:\\TW6Maint.exe");
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
}

}  // namespace
