#include "win/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

TEST(NumberText, DecimalAsPrintfWouldWrite) {
  EXPECT_EQ(win::DecimalText(0), L"0");
  EXPECT_EQ(win::DecimalText(259), L"259");
  EXPECT_EQ(win::DecimalText(-1), L"-1");
  EXPECT_EQ(win::DecimalText(1060), L"1060");
  EXPECT_EQ(win::DecimalText(INT_MAX), L"2147483647");
  EXPECT_EQ(win::DecimalText(INT_MIN), L"-2147483648");
}

TEST(NumberText, HexLowerCaseWithoutLeadingZeros) {
  EXPECT_EQ(win::HexText(0), "0");
  EXPECT_EQ(win::HexText(0x1F), "1f");
  EXPECT_EQ(win::HexText(0xC0000005u), "c0000005");
  EXPECT_EQ(win::HexText(UINT_MAX), "ffffffff");
}

TEST(NumberText, WidestValuesInEitherBase) {
  EXPECT_EQ(win::NumberText(4294967295u), "4294967295");
  EXPECT_EQ(win::NumberText(UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(win::NumberText(1ull << 63, 10, true), "-9223372036854775808");
  EXPECT_EQ(win::NumberText(UINT64_MAX, 16), "ffffffffffffffff");
}

}  // namespace
