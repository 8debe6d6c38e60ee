#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/test_env.h"

namespace disktest {

// One entry of a test tree: a path below the top, a folder when it ends in a backslash, and
// the attributes to set on it once the tree is made.
struct Node {
  std::wstring path;
  DWORD attributes = 0;
};

inline void MakeTree(const std::wstring& top, const std::vector<Node>& nodes) {
  ::CreateDirectoryW(top.c_str(), nullptr);
  for (const Node& node : nodes) {
    const std::wstring path = top + L"\\" + node.path;
    if (path.back() == L'\\') {
      ::CreateDirectoryW(path.c_str(), nullptr);
    } else {
      testenv::WriteFileText(path, "data");
    }
  }
  for (const Node& node : nodes) {
    if (node.attributes) ::SetFileAttributesW((top + L"\\" + node.path).c_str(), node.attributes);
  }
}

// Clears read-only marks so that the scratch folder's clean-up can delete what a test kept.
inline void ClearReadOnly(const std::wstring& top, const std::vector<Node>& nodes) {
  for (const Node& node : nodes) {
    ::SetFileAttributesW((top + L"\\" + node.path).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace disktest
