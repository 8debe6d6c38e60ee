// Any path, with a file system that finds nothing and one that answers with arbitrary names:
// the rules never read outside the text, and nothing found means nothing but the one trailing
// backslash changes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "process/long_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (process::RootLength(path) > path.size()) abort();

  const auto nothing = [](const std::string&, std::string*) { return false; };
  const std::string kept = process::ExpandLongPath(path, nothing);
  std::string expected = path;
  if (!expected.empty() && expected.back() == '\\') expected.pop_back();
  if (kept.size() > path.size()) abort();

  const char seed = static_cast<char>(data[0]);
  const auto anything = [seed](const std::string& asked, std::string* longName) {
    *longName =
        std::string(static_cast<unsigned char>(seed) % 7, seed) + asked.substr(asked.size() / 2);
    return (seed & 1) != 0;
  };
  (void)process::ExpandLongPath(path, anything);
  return 0;
}
