#pragma once

#include <string>
#include <string_view>

namespace app {

// Argument 1 of a process command line, split the way the product's programs always have:
// codes 1..32 separate, quotes group without escapes, a leading "" pair is skipped.
std::wstring FirstArgument(std::wstring_view commandLine);

std::wstring CommandWordFrom(std::wstring_view commandLine);

}  // namespace app
