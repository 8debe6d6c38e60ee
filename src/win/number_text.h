#pragma once

#include <cstdint>
#include <string>

// Small writers in place of the printf family, whose formatting code outweighs the program. Free
// of <windows.h>: the pure parts built natively for fuzzing use them too.
namespace win {

// Lower-case digits of magnitude in base 10 or 16 without leading zeros, after a '-' when
// negative: (4294967295, 10) -> "4294967295", (0xc0000005, 16) -> "c0000005".
std::string NumberText(std::uint64_t magnitude, unsigned base = 10, bool negative = false);

// Signed decimal, as the debugger lines show exit codes ("-1", "259").
std::wstring DecimalText(int value);

// Lower-case hexadecimal without leading zeros ("0", "c0000005").
std::string HexText(unsigned value);

}  // namespace win
