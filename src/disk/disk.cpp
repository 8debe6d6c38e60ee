#include "disk/disk.h"

#include <windows.h>

#include <string>
#include <vector>

#include "disk/native_dir.h"

namespace disk {

namespace {

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

// Opens the top folder: the path above the last `levels` folders is trusted, each of those is
// opened relative to the one before and checked, the way entries inside the tree are.
win::UniqueFileHandle OpenTop(std::wstring_view folder, int levels, native::Purpose purpose) {
  std::wstring path(folder);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  std::vector<std::wstring> names;
  size_t cut = path.size();
  for (int level = 0; level < levels; ++level) {
    const size_t slash = path.find_last_of(L'\\', cut == 0 ? 0 : cut - 1);
    if (slash == std::wstring::npos || slash == 0) return {};
    names.insert(names.begin(), path.substr(slash + 1, cut - slash - 1));
    cut = slash;
  }
  win::UniqueFileHandle handle = native::OpenFolderByPath(path.substr(0, cut));
  for (size_t i = 0; handle && i < names.size(); ++i) {
    native::Entry entry;
    if (!native::FindEntry(handle.get(), names[i], entry)) return {};
    const bool top = i + 1 == names.size();
    handle = native::OpenListedFolder(handle.get(), entry, top ? purpose : native::Purpose::List);
  }
  return handle;
}

enum class FileStep { None, Delete, List };

struct Walk {
  FileStep files = FileStep::None;
  bool removeFolders = false;  // every folder below the top, bottom-up, and links to folders
  bool removeTop = false;
  std::wstring_view mask = L"*.*";
  std::vector<std::wstring>* list = nullptr;
};

// One open folder of the walk; its reader keeps the place of the folder's listing while a
// subfolder is walked.
struct Frame {
  win::UniqueFileHandle handle;
  native::FolderReader reader;
  size_t pathLength = 0;
};

// A folder's own files, before its subfolders are walked.
void VisitFiles(Frame& frame, const Walk& walk, const std::wstring& path,
                native::Deleter& deleter) {
  native::Entry entry;
  while (frame.reader.Next(frame.handle.get(), entry)) {
    if (entry.IsFolder() || !MatchesMask(entry.name, walk.mask)) continue;
    if (walk.files == FileStep::List) {
      walk.list->push_back(path + entry.name);
      continue;
    }
    // A file link goes itself, as a folder link does.
    win::UniqueFileHandle file = entry.IsLink() ? native::OpenLink(frame.handle.get(), entry)
                                                : native::OpenListedFile(frame.handle.get(), entry);
    // Attributes stay as they are: a read-only file is not deleted.
    if (file) deleter.Delete(file.get());
  }
  frame.reader.Restart();
}

// Depth first with an explicit stack of open folders, so that neither the stack nor the memory
// grows faster than the depth: a user who may write below the data folder can make it deep.
void WalkTree(win::UniqueFileHandle top, std::wstring_view topPath, const Walk& walk) {
  if (!top) return;
  const native::Purpose purpose =
      walk.removeFolders ? native::Purpose::Remove : native::Purpose::List;
  native::Deleter deleter;
  // The current folder's path, only for the list and the test hook.
  std::wstring path(topPath);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  path += L'\\';
  std::vector<Frame> stack;
  stack.push_back(Frame{std::move(top), {}, path.size()});
  if (walk.files != FileStep::None) VisitFiles(stack.back(), walk, path, deleter);
  while (!stack.empty()) {
    native::Entry entry;
    const HANDLE folder = stack.back().handle.get();
    if (!stack.back().reader.Next(folder, entry)) {
      if (stack.size() > 1 ? walk.removeFolders : walk.removeTop) {
        native::ClearAttributes(folder);
        deleter.Delete(folder);
      }
      stack.pop_back();
      if (!stack.empty()) path.resize(stack.back().pathLength);
      continue;
    }
    if (!IsWalkedFolder(entry)) continue;
    if (entry.IsLink()) {
      // Removing a directory link removes the link, never its target.
      if (!walk.removeFolders) continue;
      win::UniqueFileHandle link = native::OpenLink(folder, entry);
      if (link) deleter.Delete(link.get());
      continue;
    }
    if (listedFolderHook) listedFolderHook(path, entry.name);
    win::UniqueFileHandle child = native::OpenListedFolder(folder, entry, purpose);
    if (!child) continue;
    path += entry.name;
    path += L'\\';
    stack.push_back(Frame{std::move(child), {}, path.size()});
    if (walk.files != FileStep::None) VisitFiles(stack.back(), walk, path, deleter);
  }
}

}  // namespace

void DeleteFilesInTree(std::wstring_view folder, int checkedLevels) {
  Walk walk;
  walk.files = FileStep::Delete;
  walk.removeFolders = true;
  WalkTree(OpenTop(folder, checkedLevels, native::Purpose::List), folder, walk);
}

void RemoveFolderTree(std::wstring_view folder, int checkedLevels) {
  Walk walk;
  walk.removeFolders = true;
  walk.removeTop = true;
  WalkTree(OpenTop(folder, checkedLevels, native::Purpose::Remove), folder, walk);
}

void ListFilesInTree(std::wstring_view folder, std::wstring_view mask,
                     std::vector<std::wstring>& list) {
  Walk walk;
  walk.files = FileStep::List;
  walk.mask = mask;
  walk.list = &list;
  WalkTree(OpenTop(folder, 1, native::Purpose::List), folder, walk);
}

void RemoveSubfoldersInTree(std::wstring_view folder, int depth) {
  Walk walk;
  walk.removeFolders = true;
  walk.removeTop = depth > 0;
  const native::Purpose purpose = depth > 0 ? native::Purpose::Remove : native::Purpose::List;
  WalkTree(OpenTop(folder, 1, purpose), folder, walk);
}

void SetListedFolderHook(ListedFolderHook hook) { listedFolderHook = hook; }

}  // namespace disk
