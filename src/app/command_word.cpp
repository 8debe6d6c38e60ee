#include "app/command_word.h"

#include "win/ascii_case.h"

namespace app {

namespace {

bool IsSeparator(wchar_t c) { return c != L'\0' && c <= L' '; }

// Reads one argument starting at pos; returns the position after it.
size_t NextArgument(std::wstring_view line, size_t pos, std::wstring& argument) {
  argument.clear();
  for (;;) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    if (pos + 1 < line.size() && line[pos] == L'"' && line[pos + 1] == L'"') {
      pos += 2;
    } else {
      break;
    }
  }
  while (pos < line.size() && line[pos] > L' ') {
    if (line[pos] == L'"') {
      ++pos;
      while (pos < line.size() && line[pos] != L'\0' && line[pos] != L'"') argument += line[pos++];
      if (pos < line.size() && line[pos] == L'"') ++pos;
    } else {
      argument += line[pos++];
    }
  }
  return pos;
}

}  // namespace

std::wstring FirstArgument(std::wstring_view commandLine) {
  // A NUL ends the line, as it would end the system's C string.
  commandLine = commandLine.substr(0, commandLine.find(L'\0'));
  std::wstring argument;
  const size_t afterProgram = NextArgument(commandLine, 0, argument);
  NextArgument(commandLine, afterProgram, argument);
  return argument;
}

std::wstring CommandWordFrom(std::wstring_view commandLine) {
  return win::UpperCaseAscii(FirstArgument(commandLine));
}

}  // namespace app
