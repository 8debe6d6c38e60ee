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

// One entry of a folder as its parent lists it.
struct Entry {
  std::wstring name;
  DWORD attributes = 0;
  std::uint64_t id = 0;  // the file id the listing reports; 0 when the system gives none

  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// Opens a folder by its Win32 path for listing, following links: for the part of a path that
// the caller trusts.
win::UniqueFileHandle OpenFolderByPath(const std::wstring& path);

// Every entry of the folder, in the order the system returns them; an error ends the listing
// and keeps what was read before it. Each call lists from the start.
std::vector<Entry> ListFolder(HANDLE folder);

// The entry of one name in a freshly opened folder handle.
bool FindEntry(HANDLE folder, const std::wstring& name, Entry& entry);

enum class Purpose { List, Remove };

// Opens a listed folder or file relative to its parent without following a link, and only when
// the handle is still the entry that was listed: not a link, and the same file id. Empty
// otherwise. Files are opened for deletion.
win::UniqueFileHandle OpenListedFolder(HANDLE parent, const Entry& entry, Purpose purpose);
win::UniqueFileHandle OpenListedFile(HANDLE parent, const Entry& entry);

// Opens a listed link itself for deletion; empty when the system would open its target instead
// (Wine does).
win::UniqueFileHandle OpenLink(HANDLE parent, const Entry& entry);

// A second handle to the same folder, only for opening its entries: Wine keeps the data of a
// listing with the listed handle until it is closed.
win::UniqueFileHandle Reopen(HANDLE folder);

bool ClearAttributes(HANDLE handle);
// The entry goes when its last handle closes; fails for a read-only file or a non-empty folder.
bool MarkForDeletion(HANDLE handle);

}  // namespace disk::native
