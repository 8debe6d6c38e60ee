// Any filter and name: the Windows-1252 fold and the folder-part rules agree with themselves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "process/name_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string filter = input.substr(0, split);
  const std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);

  for (unsigned char c : input) {
    const unsigned char folded = process::FoldLower1252(c);
    if (process::FoldLower1252(folded) != folded) abort();
  }
  if (process::SameText1252(filter, name) != process::SameText1252(name, filter)) abort();
  if (!process::NameMatches(filter, filter)) abort();
  // Without folder parts on either side, matching is plain folded equality.
  if (!process::HasFolderPart(filter) && !process::HasFolderPart(name) &&
      process::NameMatches(filter, name) != process::SameText1252(filter, name)) {
    abort();
  }
  const std::string_view file = process::FileNamePart(name);
  if (file.size() > name.size() || process::HasFolderPart(file)) abort();
  (void)process::NameMatches(filter, name);
  return 0;
}
