#include "app/command_word.h"

#include <gtest/gtest.h>

namespace {

struct WordCase {
  const char* name;
  const wchar_t* commandLine;
  const wchar_t* word;
};

void PrintTo(const WordCase& c, std::ostream* os) { *os << c.name; }

class CommandWordTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(CommandWordTest, SplitsAndUpperCasesArgumentOne) {
  EXPECT_EQ(app::CommandWordFrom(GetParam().commandLine), GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandWordTest,
    ::testing::Values(
        WordCase{"Plain", L"TW6Maint.exe -INSTALL", L"-INSTALL"},
        WordCase{"LowerCase", L"TW6Maint.exe -uninstall", L"-UNINSTALL"},
        WordCase{"MixedCase", L"TW6Maint.exe -DeleteAllUserData", L"-DELETEALLUSERDATA"},
        WordCase{"SecondArgumentIgnored", L"TW6Maint.exe -INSTALL -UNINSTALL", L"-INSTALL"},
        WordCase{"Quoted", L"TW6Maint.exe \"-install\"", L"-INSTALL"},
        WordCase{"QuoteInside", L"TW6Maint.exe -in\"stall\"", L"-INSTALL"},
        WordCase{"EmptyPairSkipped", L"TW6Maint.exe \"\" -install", L"-INSTALL"},
        WordCase{"TwoEmptyPairsSkipped", L"TW6Maint.exe \"\"\"\" -install", L"-INSTALL"},
        WordCase{"EmptyPairGlued", L"TW6Maint.exe \"\"-install", L"-INSTALL"},
        WordCase{"ControlCharsSeparate", L"TW6Maint.exe\t\x1f-install\x01x", L"-INSTALL"},
        WordCase{"QuotedProgramWithBlanks", L"\"C:\\Program Files\\TW6\\TW6Maint.exe\" -install",
                 L"-INSTALL"},
        WordCase{"QuotedProgramGlued", L"\"C:\\a b\\TW6Maint.exe\"-install", L""},
        WordCase{"BlankInsideQuotes", L"TW6Maint.exe \"-in stall\"", L"-IN STALL"},
        WordCase{"UnclosedQuote", L"TW6Maint.exe \"-install", L"-INSTALL"},
        WordCase{"NonAsciiUnchanged", L"TW6Maint.exe -\u00e4\u00df\u0101b",
                 L"-\u00e4\u00df\u0101B"},
        WordCase{"SlashWord", L"TW6Maint.exe /install", L"/INSTALL"},
        WordCase{"NoArgument", L"TW6Maint.exe", L""},
        WordCase{"OnlyEmptyPair", L"TW6Maint.exe \"\"", L""},
        WordCase{"TrailingBlanks", L"TW6Maint.exe    ", L""}, WordCase{"EmptyLine", L"", L""}),
    [](const ::testing::TestParamInfo<WordCase>& info) { return std::string(info.param.name); });

}  // namespace
