#include "win/number_text.h"

#include <gtest/gtest.h>

#include <climits>

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

}  // namespace
