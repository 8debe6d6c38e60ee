#pragma once

#include <string>

namespace testenv {

// A Unix symbolic link to a folder, which Wine shows as a directory link (a reparse point).
// Wine cannot remove such a link through its API without following it, so the destructor
// removes it on the Unix side. Wine only: Available() is false on Windows.
class UnixLink {
 public:
  static bool Available();

  UnixLink() = default;
  UnixLink(const std::wstring& link, const std::wstring& target);
  ~UnixLink();
  UnixLink(const UnixLink&) = delete;
  UnixLink& operator=(const UnixLink&) = delete;

  bool made() const { return made_; }

 private:
  std::wstring link_;
  bool made_ = false;
};

// Makes the folders of a relative path below an existing folder from the Unix side, far faster
// than through Wine for a deep path. Wine only.
bool MakeUnixFolders(const std::wstring& folder, const std::wstring& relative);

}  // namespace testenv
