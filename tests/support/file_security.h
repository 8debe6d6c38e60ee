#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

// A security descriptor in self-relative form made from SDDL text; empty when the text is not
// understood.
std::vector<std::uint8_t> DescriptorFromSddl(const std::wstring& sddl);
std::vector<std::uint8_t> SidFromText(const std::wstring& text);

// Sets the DACL of a file or folder to full control for Everyone, inherited by what is below.
// Under Wine this is the Unix mode 777, which Wine reads back as that same ACE.
bool GrantEveryoneFullControl(const std::wstring& path);

}  // namespace testenv
