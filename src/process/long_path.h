#pragma once

// The string rules of the filter's normal form. No Windows headers: the file-system lookup is
// passed in, so this compiles on any system, for fuzzing.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace process {

// Looks up `path`, whose last component may be a short (8.3) name, and gives the long name
// of that component; false when nothing is found.
using LongNameLookup = std::function<bool(const std::string& path, std::string* longName)>;

// The length of the part of `path` that is never expanded: "\\server\share\" of a network
// path (the whole path when it has no backslash after the share), the first three
// characters when the second is ":", else 0.
size_t RootLength(std::string_view path);

// `path` without a trailing backslash and with each component after the root that holds a
// "~" (and no wildcard) replaced by the long name the lookup reports. A path without a root,
// such as a bare file name, comes back unchanged.
std::string ExpandLongPath(std::string_view path, const LongNameLookup& lookup);

}  // namespace process
