#include "win/number_text.h"

namespace win {

// Small writers in place of the printf family, whose formatting code outweighs the program.
std::wstring DecimalText(int value) {
  // Through unsigned, so that the most negative value has a magnitude.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  wchar_t digits[12];
  size_t at = sizeof(digits) / sizeof(digits[0]);
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--at] = L'-';
  return std::wstring(digits + at, digits + sizeof(digits) / sizeof(digits[0]));
}

std::string HexText(unsigned value) {
  char digits[8];
  size_t at = sizeof(digits);
  do {
    digits[--at] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(digits + at, digits + sizeof(digits));
}

}  // namespace win
