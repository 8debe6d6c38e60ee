#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/unique_handle.h"

// Folder listing and deletion relative to open folder handles, through ntdll's file calls
// (present since Windows NT), so that a path swapped for a link between two steps is never
// followed by a later step.
namespace disk::native {

// A reparse tag that is unknown (0: Wine's links, a system that reports none) or a name
// surrogate (mount point, symbolic link) makes a link; other tags (cloud-file placeholders)
// make plain folders and files.
bool IsLinkTag(ULONG tag);

// One entry of a folder as its parent lists it.
struct Entry {
  std::wstring name;
  DWORD attributes = 0;
  ULONG reparseTag = 0;  // for a reparse entry, as the listing reports it
  std::uint64_t id = 0;  // the file id the listing reports; 0 when the system gives none

  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsLink() const {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(reparseTag);
  }
};

// Opens a folder by its Win32 path for listing, following links: for the part of a path that
// the caller trusts.
win::UniqueFileHandle OpenFolderByPath(const std::wstring& path);

// Reads a folder's entries a small buffer at a time, going on from where the last call stopped,
// so that a walk can keep one reader per open folder.
class FolderReader {
 public:
  FolderReader();
  // The next entry, from the start after Restart(); false at the end or on an error.
  bool Next(HANDLE folder, Entry& entry);
  void Restart();

 private:
  std::vector<LONGLONG> buffer_;  // aligned for the entries
  size_t offset_ = 0;
  size_t filled_ = 0;
  bool restart_ = true;
  bool ended_ = false;
};

// The entry of one name as the folder lists it (no wildcards), read through a freshly opened
// folder handle: what OpenListedFolder and OpenListedFile then check the opened handle against.
bool ListEntryNamed(HANDLE folder, const std::wstring& name, Entry& entry);

enum class Purpose { List, Remove };

// Opens a listed folder or file relative to its parent without following a link, and only when
// the handle is still the entry that was listed: not a link, and the same file id. Empty
// otherwise. Files are opened for deletion.
win::UniqueFileHandle OpenListedFolder(HANDLE parent, const Entry& entry, Purpose purpose);
win::UniqueFileHandle OpenListedFile(HANDLE parent, const Entry& entry);

// Opens a listed link itself for deletion; empty when the system would open its target instead
// (Wine does).
win::UniqueFileHandle OpenLink(HANDLE parent, const Entry& entry);

bool ClearAttributes(HANDLE handle);

// Deletes entries through their handles: with POSIX semantics, so that the name goes at once
// even while another program holds the entry open, as DeleteFileW does on current systems;
// after the first refusal of those, for the rest of its life, the classic way (the entry goes
// when its last handle closes). Read-only files and non-empty folders stay either way.
class Deleter {
 public:
  bool Delete(HANDLE handle);

 private:
  bool classicOnly_ = false;
};

// Whether listings carry file ids (XP and later); false on 2000 and once a system refused them.
bool ListsWithFileIds();
// For tests: the next listing asks for the class with file ids again, where the system has it.
void RestartListClass();

// Tests stand in for what Wine lacks by wrapping the file calls in win::Entries() (the extended
// deletion class, access checks) and through this seam (reparse tags), which is called on every
// listed entry before anything looks at it and does nothing outside tests.
using ListedEntryHook = void (*)(Entry& entry);
inline void NoListedEntryHook(Entry&) {}
struct ListingSeams {
  ListedEntryHook listedEntry = NoListedEntryHook;
};
ListingSeams& TestListingSeams();

}  // namespace disk::native
