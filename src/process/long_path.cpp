#include "process/long_path.h"

namespace process {

size_t RootLength(std::string_view path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    const size_t server = path.find('\\', 2);
    if (server == path.npos) return path.size();
    const size_t share = path.find('\\', server + 1);
    return share == path.npos ? path.size() : share + 1;
  }
  if (path.size() >= 2 && path[1] == ':') return path.size() < 3 ? path.size() : 3;
  return 0;
}

std::string ExpandLongPath(std::string_view path, const LongNameLookup& lookup) {
  std::string rest(path);
  if (!rest.empty() && rest.back() == '\\') rest.pop_back();
  const size_t root = RootLength(rest);
  if (root == 0) return rest;

  // Walks from the last component back to the root; `tail` collects "\component" pieces.
  std::string tail;
  for (;;) {
    const size_t slash = rest.rfind('\\');
    // The root's own backslash still separates the first component; earlier ones are root.
    if (slash == rest.npos || slash + 1 < root) break;
    std::string component = rest.substr(slash + 1);
    if (component.find('~') != component.npos && component.find_first_of("*?") == component.npos) {
      std::string longName;
      if (lookup && lookup(rest, &longName) && !longName.empty()) component = longName;
    }
    tail.insert(0, "\\" + component);
    rest.erase(slash);
    if (rest.empty()) break;
  }
  std::string result = rest + tail;
  if (!result.empty() && result.back() == '\\') result.pop_back();
  return result;
}

}  // namespace process
