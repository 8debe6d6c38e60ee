#include "win/number_text.h"

namespace win {

std::string NumberText(std::uint64_t magnitude, unsigned base, bool negative) {
  char digits[21];  // 20 decimal digits of the largest value and a sign
  size_t at = sizeof(digits);
  do {
    digits[--at] = "0123456789abcdef"[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  if (negative) digits[--at] = '-';
  return std::string(digits + at, digits + sizeof(digits));
}

std::wstring DecimalText(int value) {
  // Through unsigned, so that the most negative value has a magnitude.
  const unsigned magnitude =
      value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  const std::string text = NumberText(magnitude, 10, value < 0);
  return std::wstring(text.begin(), text.end());
}

std::string HexText(unsigned value) { return NumberText(value, 16); }

}  // namespace win
