#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process/long_path.h"
#include "process/lookup.h"
#include "support/test_env.h"

namespace {

// A lookup over a fixed table of short paths, recording what it was asked.
struct FakeLookup {
  std::vector<std::string> asked;
  process::LongNameLookup Get() {
    return [this](const std::string& path, std::string* longName) {
      asked.push_back(path);
      if (path == "C:\\PROGRA~1")
        *longName = "Program Files";
      else if (path == "C:\\PROGRA~1\\TW6~1")
        *longName = "TW6 Suite";
      else if (path == "C:\\PROGRA~1\\TW6~1\\TW6LOG~1.EXE")
        *longName = "TW6Log.exe";
      else if (path == "\\\\server\\share\\LONGNA~1")
        *longName = "Long name";
      else
        return false;
      return true;
    };
  }
};

struct PathCase {
  const char* path;
  const char* expanded;
};

class ExpandLongPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExpandLongPathTest, ExpandsShortComponentsAfterTheRoot) {
  FakeLookup lookup;
  EXPECT_EQ(process::ExpandLongPath(GetParam().path, lookup.Get()), GetParam().expanded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpandLongPathTest,
    ::testing::Values(
        PathCase{"TW6.exe", "TW6.exe"}, PathCase{"", ""},
        PathCase{"C:\\PROGRA~1\\TW6~1\\TW6LOG~1.EXE", "C:\\Program Files\\TW6 Suite\\TW6Log.exe"},
        PathCase{"C:\\PROGRA~1\\", "C:\\Program Files"},
        PathCase{"C:\\PROGRA~1\\TW6.exe", "C:\\Program Files\\TW6.exe"},
        PathCase{"C:\\NOSUCH~1\\TW6.exe", "C:\\NOSUCH~1\\TW6.exe"}, PathCase{"C:\\", "C:"},
        PathCase{"C:", "C:"},
        PathCase{"\\\\server\\share\\LONGNA~1\\x.exe", "\\\\server\\share\\Long name\\x.exe"},
        // Without a root nothing is looked up.
        PathCase{"PROGRA~1\\TW6.exe", "PROGRA~1\\TW6.exe"},
        PathCase{"\\PROGRA~1\\TW6.exe", "\\PROGRA~1\\TW6.exe"}));

TEST(ExpandLongPathLookupTest, LooksUpOnlyShortNamesWithoutWildcardsAndNeverTheRoot) {
  FakeLookup lookup;
  process::ExpandLongPath("C:\\A~B\\PROG*~1\\X?~1\\plain\\TW6.exe", lookup.Get());
  EXPECT_EQ(lookup.asked, std::vector<std::string>{"C:\\A~B"});

  lookup.asked.clear();
  process::ExpandLongPath("\\\\SERV~1\\SHAR~1\\DIR~1", lookup.Get());
  EXPECT_EQ(lookup.asked, std::vector<std::string>{"\\\\SERV~1\\SHAR~1\\DIR~1"});

  lookup.asked.clear();
  process::ExpandLongPath("\\\\SERV~1\\SHAR~1", lookup.Get());
  EXPECT_TRUE(lookup.asked.empty());
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(ExpandLongPathFileSystemTest, ReplacesTheShortNamesThatTheFileSystemReports) {
  testenv::ScratchFolder folder(L"long folder name");
  const std::wstring inner = folder / L"Another long folder";
  ASSERT_TRUE(::CreateDirectoryW(inner.c_str(), nullptr));
  testenv::WriteFileText(inner + L"\\TW6 Guard Helper.exe", "x");
  char shortPath[MAX_PATH];
  const std::string longPath = Narrow(inner + L"\\TW6 Guard Helper.exe");
  ASSERT_GT(::GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH), 0u);
  ASSERT_NE(std::string(shortPath), longPath) << "no short names on this drive";

  EXPECT_EQ(process::ExpandLongPath(shortPath), longPath);
  EXPECT_EQ(process::ExpandLongPath(std::string(shortPath) + "\\"), longPath);
  // A short name that names nothing stays as it is.
  const std::string missing = Narrow(folder.path()) + "\\NOSUCH~1\\TW6.exe";
  EXPECT_EQ(process::ExpandLongPath(missing), missing);
}

}  // namespace
