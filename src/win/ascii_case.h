#pragma once

#include <string>
#include <string_view>

namespace win {

// Only a..z change; every other character, non-ASCII letters included, stays. For the program's
// own words, which need no system table (and no user32 loaded for one).
inline std::wstring UpperCaseAscii(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return result;
}

}  // namespace win
