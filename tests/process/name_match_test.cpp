#include <gtest/gtest.h>

#include <string>

#include "process/name_match.h"

namespace {

struct MatchCase {
  const char* filter;
  const char* name;
  bool matches;
};

class NameMatchesTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(NameMatchesTest, FollowsTheFolderPartRules) {
  EXPECT_EQ(process::NameMatches(GetParam().filter, GetParam().name), GetParam().matches)
      << GetParam().filter << " / " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameMatchesTest,
    ::testing::Values(
        // A bare filter compares file names, in any folder and any letter case.
        MatchCase{"TW6.exe", "C:\\Program Files\\TW6\\TW6.exe", true},
        MatchCase{"tw6.EXE", "C:\\Program Files\\TW6\\TW6.exe", true},
        MatchCase{"TW6.exe", "TW6.exe", true}, MatchCase{"TW6.exe", "D:TW6.exe", true},
        MatchCase{"TW6.exe", "C:\\TW6.exe\\Other.exe", false},
        MatchCase{"TW6.exe", "C:\\xTW6.exe", false}, MatchCase{"TW6.exe", "TW6.exe ", false},
        MatchCase{"TW6.ex", "TW6.exe", false},
        // Accented letters fold through the code page; other bytes do not.
        MatchCase{"\xC4rger.exe", "C:\\x\\\xE4RGER.EXE", true},
        MatchCase{"\x8A\x8C\x8E\x9F.exe", "\x9A\x9C\x9E\xFF.exe", true},
        MatchCase{"\xD7.exe", "\xF7.exe", false},
        // No wildcards: "*" inside a name is a character like any other.
        MatchCase{"TW6*.exe", "TW6Log.exe", false}, MatchCase{"*.exe", "TW6.exe", false},
        MatchCase{"TW6?.exe", "TW6L.exe", false},
        // A filter with a folder part compares the full path...
        MatchCase{"C:\\A\\TW6.exe", "c:\\a\\tw6.EXE", true},
        MatchCase{"C:\\A\\TW6.exe", "C:\\B\\TW6.exe", false},
        MatchCase{"C:\\A\\TW6.exe", "C:\\A\\B\\TW6.exe", false},
        // ...except against a process listed by its file name alone.
        MatchCase{"C:\\A\\TW6.exe", "TW6.exe", true},
        MatchCase{"C:\\A\\TW6.exe", "TW6Log.exe", false}));

}  // namespace
