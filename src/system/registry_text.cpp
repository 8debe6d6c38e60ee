#include "system/registry_text.h"

#include "win/number_text.h"

namespace REG {

namespace {

constexpr std::uint32_t kNone = 0, kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7,
                        kQword = 11;

std::u16string Utf16UpToNul(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < size; at += 2) {
    const char16_t unit = static_cast<char16_t>(data[at] | (data[at + 1] << 8));
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  return text;
}

// Little-endian, zero-extended when the value is shorter than the type; empty when longer.
bool ReadUnsigned(const std::uint8_t* data, std::size_t size, std::size_t width,
                  std::uint64_t& value) {
  if (size > width) return false;
  value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | data[i];
  return true;
}

std::u16string Decimal(std::uint64_t magnitude, bool negative) {
  const std::string digits = win::NumberText(magnitude, 10, negative);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string RegistryTextFromData(std::uint32_t type, const std::uint8_t* data,
                                    std::size_t size) {
  if (data == nullptr || size == 0) return std::u16string();
  std::uint64_t value = 0;
  switch (type) {
    case kSz:
    case kExpandSz:
    case kMultiSz:
    case kBinary:
    case kNone:
      return Utf16UpToNul(data, size);
    case kDword:
      if (!ReadUnsigned(data, size, 4, value)) return std::u16string();
      return Decimal(value, false);
    case kQword: {
      if (!ReadUnsigned(data, size, 8, value)) return std::u16string();
      const bool negative = (value >> 63) != 0;
      // Two's complement magnitude, without the overflow of negating INT64_MIN.
      return Decimal(negative ? ~value + 1 : value, negative);
    }
    default:
      return std::u16string();
  }
}

}  // namespace REG
