// The decoding of raw value data, at the edges the registry itself cannot easily produce.
#include "system/registry_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace {

struct DecodeCase {
  const char* name;
  std::uint32_t type;
  std::vector<std::uint8_t> buffer;
  std::size_t size;  // the part of buffer that is the value's data
  std::u16string expected;
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

class RegistryTextTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(RegistryTextTest, DecodesWithinTheGivenSize) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(REG::RegistryTextFromData(c.type, c.buffer.data(), c.size), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, RegistryTextTest,
    ::testing::Values(
        // "ab" followed by bytes that lie beyond the data and must not be read.
        DecodeCase{"StopsAtTheEndOfTheData", 1, {'a', 0, 'b', 0, 'X', 0, 'Y', 0}, 4, u"ab"},
        DecodeCase{"OddTrailingByteDropped", 1, {'a', 0, 'b'}, 3, u"a"},
        DecodeCase{"BinaryOddByteDropped", 3, {'a', 0, 'b'}, 3, u"a"},
        DecodeCase{"ShortDwordZeroExtended", 4, {0x34, 0x12}, 2, u"4660"},
        DecodeCase{"LongDwordUnreadable", 4, {1, 0, 0, 0, 0}, 5, u""},
        DecodeCase{"QwordMinimum", 11, {0, 0, 0, 0, 0, 0, 0, 0x80}, 8, u"-9223372036854775808"},
        DecodeCase{"NoData", 4, {1, 2, 3, 4}, 0, u""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
