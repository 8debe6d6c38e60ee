// Any command line: argument 1 is found without reading past the text, and upper-casing
// changes exactly the letters a..z.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_word.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring line;
  for (size_t i = 0; i + 1 < size; i += 2) line += static_cast<wchar_t>(data[i] | data[i + 1] << 8);

  const std::wstring argument = app::FirstArgument(line);
  if (argument.size() > line.size()) abort();
  for (wchar_t c : argument) {
    if (c == L'"' || c == L'\0') abort();  // quotes are dropped; a NUL ends the line
  }
  const std::wstring word = app::CommandWordFrom(line);
  if (word.size() != argument.size()) abort();
  for (size_t i = 0; i < word.size(); ++i) {
    const wchar_t a = argument[i], w = word[i];
    if (a >= L'a' && a <= L'z' ? w != a - 32 : w != a) abort();
  }
  return 0;
}
