#include "disk/disk.h"

#include <windows.h>

#include <memory>

#include "disk/native_dir.h"

namespace disk {

namespace {

struct Folder {
  win::UniqueFileHandle handle;
  std::wstring path;  // as the caller named it, ending in a backslash
};
using FolderPtr = std::shared_ptr<const Folder>;

// A file of the gathered list: its folder stays open until the list is freed.
struct ListedFile {
  FolderPtr folder;
  native::Entry entry;
};

ListedFolderHook listedFolderHook = nullptr;

// A folder whose name begins with "." is never entered, emptied or removed; that also drops
// "." and "..". Files are not tested on their names.
bool IsWalkedFolder(const native::Entry& entry) {
  return entry.IsFolder() && !entry.name.empty() && entry.name[0] != L'.';
}

std::wstring Upper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool Matches(const wchar_t* name, const wchar_t* mask) {
  for (; *mask; ++mask, ++name) {
    if (*mask == L'*') {
      for (const wchar_t* rest = name;; ++rest) {
        if (Matches(rest, mask + 1)) return true;
        if (!*rest) return false;
      }
    }
    if (!*name || (*mask != L'?' && *mask != *name)) return false;
  }
  return !*name;
}

// As FindFirstFileW reads a mask: "*.*" stands for every name.
bool MatchesMask(const std::wstring& name, std::wstring_view mask) {
  if (mask == L"*.*" || mask == L"*") return true;
  return Matches(Upper(name).c_str(), Upper(std::wstring(mask)).c_str());
}

FolderPtr OpenChild(const Folder& parent, const native::Entry& entry, native::Purpose purpose) {
  if (listedFolderHook) listedFolderHook(parent.path, entry.name);
  win::UniqueFileHandle handle = native::OpenListedFolder(parent.handle.get(), entry, purpose);
  if (!handle) return nullptr;
  return std::make_shared<const Folder>(
      Folder{std::move(handle), parent.path + entry.name + L"\\"});
}

// Removing a directory link removes the link, never its target.
void RemoveLink(const Folder& parent, const native::Entry& entry) {
  win::UniqueFileHandle link = native::OpenLink(parent.handle.get(), entry);
  if (link) native::MarkForDeletion(link.get());
}

// Opens the top folder: the path above the last `levels` folders is trusted, each of those is
// opened relative to the one before and checked, the way entries inside the tree are.
FolderPtr OpenTop(std::wstring_view folder, int levels, native::Purpose purpose) {
  std::wstring path(folder);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  std::vector<std::wstring> names;
  size_t cut = path.size();
  for (int level = 0; level < levels; ++level) {
    const size_t slash = path.find_last_of(L'\\', cut == 0 ? 0 : cut - 1);
    if (slash == std::wstring::npos || slash == 0) return nullptr;
    names.insert(names.begin(), path.substr(slash + 1, cut - slash - 1));
    cut = slash;
  }
  win::UniqueFileHandle handle = native::OpenFolderByPath(path.substr(0, cut));
  for (size_t i = 0; handle && i < names.size(); ++i) {
    native::Entry entry;
    if (!native::FindEntry(handle.get(), names[i], entry)) return nullptr;
    const bool top = i + 1 == names.size();
    handle = native::OpenListedFolder(handle.get(), entry, top ? purpose : native::Purpose::List);
  }
  if (!handle) return nullptr;
  return std::make_shared<const Folder>(Folder{std::move(handle), path + L"\\"});
}

void ListFiles(const FolderPtr& folder, std::wstring_view mask, std::vector<ListedFile>& files) {
  const std::vector<native::Entry> entries = native::ListFolder(folder->handle.get());
  // The list keeps its folders open until the files are deleted, but not their listing data.
  FolderPtr kept;
  for (const native::Entry& entry : entries) {
    if (entry.IsFolder() || !MatchesMask(entry.name, mask)) continue;
    if (!kept) {
      win::UniqueFileHandle again = native::Reopen(folder->handle.get());
      kept =
          again ? std::make_shared<const Folder>(Folder{std::move(again), folder->path}) : folder;
    }
    files.push_back({kept, entry});
  }
  for (const native::Entry& entry : entries) {
    if (!IsWalkedFolder(entry)) continue;
    if (FolderPtr child = OpenChild(*folder, entry, native::Purpose::List)) {
      ListFiles(child, mask, files);
    }
  }
}

void RemoveTree(const Folder& folder) {
  for (const native::Entry& entry : native::ListFolder(folder.handle.get())) {
    if (!IsWalkedFolder(entry)) continue;
    if (entry.IsLink()) {
      RemoveLink(folder, entry);
    } else if (FolderPtr child = OpenChild(folder, entry, native::Purpose::Remove)) {
      RemoveTree(*child);
    }
  }
  native::ClearAttributes(folder.handle.get());
  native::MarkForDeletion(folder.handle.get());
}

void RemoveSubfolders(const Folder& folder, int depth) {
  for (const native::Entry& entry : native::ListFolder(folder.handle.get())) {
    if (!IsWalkedFolder(entry)) continue;
    if (entry.IsLink()) {
      RemoveLink(folder, entry);
    } else if (FolderPtr child = OpenChild(folder, entry, native::Purpose::Remove)) {
      RemoveSubfolders(*child, depth + 1);
    }
  }
  if (depth > 0) RemoveTree(folder);
}

}  // namespace

void DeleteFilesInTree(std::wstring_view folder, int checkedLevels) {
  FolderPtr top = OpenTop(folder, checkedLevels, native::Purpose::List);
  if (!top) return;
  std::vector<ListedFile> files;
  ListFiles(top, L"*.*", files);
  // Attributes stay as they are: a read-only file is not deleted.
  for (const ListedFile& file : files) {
    const HANDLE folder = file.folder->handle.get();
    // A file link goes itself, as a folder link does.
    win::UniqueFileHandle handle = file.entry.IsLink() ? native::OpenLink(folder, file.entry)
                                                       : native::OpenListedFile(folder, file.entry);
    if (handle) native::MarkForDeletion(handle.get());
  }
  files.clear();
  RemoveSubfolders(*top, 0);
}

void RemoveFolderTree(std::wstring_view folder, int checkedLevels) {
  if (FolderPtr top = OpenTop(folder, checkedLevels, native::Purpose::Remove)) RemoveTree(*top);
}

void ListFilesInTree(std::wstring_view folder, std::wstring_view mask,
                     std::vector<std::wstring>& list) {
  FolderPtr top = OpenTop(folder, 1, native::Purpose::List);
  if (!top) return;
  std::vector<ListedFile> files;
  ListFiles(top, mask, files);
  for (const ListedFile& file : files) list.push_back(file.folder->path + file.entry.name);
}

void RemoveSubfoldersInTree(std::wstring_view folder, int depth) {
  const native::Purpose purpose = depth > 0 ? native::Purpose::Remove : native::Purpose::List;
  if (FolderPtr top = OpenTop(folder, 1, purpose)) RemoveSubfolders(*top, depth);
}

void SetListedFolderHook(ListedFolderHook hook) { listedFolderHook = hook; }

}  // namespace disk
