#pragma once

// Executable-name matching of the process lookups. No Windows headers: this compiles on any
// system, for fuzzing.
#include <string_view>

namespace process {

// Windows-1252 lower case: A-Z, the accented capitals and the three capitals at 0x8A, 0x8C
// and 0x8E; 0x9F (Y diaeresis) folds to 0xFF. Every other byte stays.
unsigned char FoldLower1252(unsigned char c);

bool SameText1252(std::string_view a, std::string_view b);

// The folder part ends at the last "\" or ":"; the file-name part is what follows.
bool HasFolderPart(std::string_view name);
std::string_view FileNamePart(std::string_view name);

// Whether a process listed as `name` (a full path or a bare file name) passes `filter`.
// A filter without a folder part compares file names; a filter with one compares full paths,
// or only file names when the process is listed by its file name. No wildcards.
bool NameMatches(std::string_view filter, std::string_view name);

}  // namespace process
