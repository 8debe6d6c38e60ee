#pragma once

#include <string>

namespace win {

// Signed decimal, as the debugger lines show exit codes ("-1", "259").
std::wstring DecimalText(int value);

// Lower-case hexadecimal without leading zeros ("0", "c0000005").
std::string HexText(unsigned value);

}  // namespace win
