#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Free of <windows.h> on purpose: it builds natively too, for fuzzing.
namespace REG {

// The text RegistryReadText gives for a value of the given registry type (REG_SZ = 1 and so on)
// whose data are the size bytes at data: strings up to their first NUL (a multi-string yields
// its first string), REG_DWORD as unsigned and REG_QWORD as signed decimal, REG_BINARY and
// REG_NONE as UTF-16 text; empty for no data and for other types. A trailing odd byte of text
// data is dropped, and nothing beyond size is ever read.
std::u16string RegistryTextFromData(std::uint32_t type, const std::uint8_t* data, std::size_t size);

}  // namespace REG
