#include "process/name_match.h"

namespace process {

unsigned char FoldLower1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  if ((c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE)) {
    return static_cast<unsigned char>(c + 0x20);
  }
  return c;
}

bool SameText1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldLower1252(static_cast<unsigned char>(a[i])) !=
        FoldLower1252(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool HasFolderPart(std::string_view name) { return name.find_last_of("\\:") != name.npos; }

std::string_view FileNamePart(std::string_view name) {
  const size_t end = name.find_last_of("\\:");
  return end == name.npos ? name : name.substr(end + 1);
}

bool NameMatches(std::string_view filter, std::string_view name) {
  if (!HasFolderPart(filter)) {
    name = FileNamePart(name);
  } else if (!HasFolderPart(name)) {
    filter = FileNamePart(filter);
  }
  return SameText1252(filter, name);
}

}  // namespace process
