#pragma once

#include <string>
#include <string_view>
#include <vector>

// Recursive folder removal in two passes: the file pass, then the folder pass.
//
// Every step works relative to a folder handle that was opened without following links and
// checked to be the folder that was listed, so a link planted in the tree, or put in place of
// a listed folder, never leads a deletion outside the tree. A link inside the tree is removed
// itself where the system can open it without following it; it is never entered.
//
// Each folder path ends in a backslash. checkedLevels says how many folders at the end of the
// path, the top included, are opened one by one and checked; the path above them is trusted.
// When one of them is a link, the passes do nothing.
//
// No step waits for another process: an entry whose open breaks another process's oplock is
// left as it is, with the folders above it (a held checked level leaves the whole tree), and the
// passes that delete run on a thread of their own whose stalled call is cancelled (see
// disk.cpp), so each returns within a few seconds of its work whatever a holder does.
namespace disk {

// Deletes every file below the folder, each folder's files when the walk reaches it (so that no
// list of the whole tree is held), and removes every subfolder bottom-up; the folder itself
// stays. Files keep their attributes, so a read-only file stays, and so does every folder above.
void DeleteFilesInTree(std::wstring_view folder, int checkedLevels = 1);

// Removes every subfolder below the folder bottom-up, then the folder itself, clearing each
// folder's attributes before removing it.
void RemoveFolderTree(std::wstring_view folder, int checkedLevels = 1);

// Appends the full path of every file below the folder whose name matches mask.
void ListFilesInTree(std::wstring_view folder, std::wstring_view mask,
                     std::vector<std::wstring>& list);

// Removes the subfolders below the folder bottom-up; the folder itself too when depth > 0.
void RemoveSubfoldersInTree(std::wstring_view folder, int depth);

// The deepest level below the top that the passes enter; what lies deeper stays, as a folder
// that cannot be opened does. No path-based tool reaches past about 16,000 levels (32,767
// characters of one-letter folders and backslashes), and each level walked keeps about 1.1 KB:
// uncapped, a chain made through handle-relative calls could exhaust a 32-bit address space.
constexpr int kMaxWalkDepth = 16384;

// Test seams: the deepest level the passes enter, and a call made after a folder was listed and
// before its folder entry `name` is opened (which does nothing outside tests).
using ListedFolderHook = void (*)(const std::wstring& folder, const std::wstring& name);
inline void NoListedFolderHook(const std::wstring&, const std::wstring&) {}
struct WalkSeams {
  int maxDepth = kMaxWalkDepth;
  ListedFolderHook listedFolder = NoListedFolderHook;
};
WalkSeams& TestWalkSeams();

}  // namespace disk
