#include "disk/disk.h"

#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "disk/native_dir.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace disk {

namespace {

// A folder whose name begins with "." is never entered, emptied or removed; that also drops
// "." and "..". Files are not tested on their names.
bool IsWalkedFolder(const native::Entry& entry) {
  return entry.IsFolder() && !entry.name.empty() && entry.name[0] != L'.';
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
  return Matches(win::UpperCase(name).c_str(), win::UpperCase(std::wstring(mask)).c_str());
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
    if (!native::ListEntryNamed(handle.get(), names[i], entry)) return {};
    const bool top = i + 1 == names.size();
    handle = native::OpenListedFolder(handle.get(), entry, top ? purpose : native::Purpose::List);
  }
  return handle;
}

// What one walk removes, named per pass.
enum class Pass {
  ListFiles,           // nothing; appends the files that match the mask
  FilesAndSubfolders,  // the file pass: each folder's files, the subfolders bottom-up; top stays
  Subfolders,          // the subfolders bottom-up; files and the top stay
  FolderTree,          // the folder pass: the subfolders bottom-up, then the top
};

constexpr bool VisitsFiles(Pass pass) {
  return pass == Pass::ListFiles || pass == Pass::FilesAndSubfolders;
}
// Links to folders go with the subfolders.
constexpr bool RemovesSubfolders(Pass pass) { return pass != Pass::ListFiles; }
constexpr bool RemovesTop(Pass pass) { return pass == Pass::FolderTree; }
constexpr native::Purpose TopPurpose(Pass pass) {
  return RemovesTop(pass) ? native::Purpose::Remove : native::Purpose::List;
}

// What the caller and a pass's thread share: the last to let go deletes it.
struct Watched {
  volatile LONG steps = 0;    // entries taken up so far
  volatile LONG stopped = 0;  // the caller has moved on: the thread touches nothing more
  volatile LONG references = 2;
  volatile LONG threw = 0;  // something escaped the walk: the caller raises it again
  void Release() {
    if (::InterlockedDecrement(&references) == 0) delete this;
  }
};

struct Walk {
  Pass pass;
  std::wstring_view mask = L"*.*";
  std::vector<std::wstring>* list = nullptr;
  Watched* watched = nullptr;
};

// Counts a step for the watcher; false once the walk must stop where it is.
bool Going(const Walk& walk) {
  if (!walk.watched) return true;
  ::InterlockedIncrement(&walk.watched->steps);
  return walk.watched->stopped == 0;
}

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
  while (Going(walk) && frame.reader.Next(frame.handle.get(), entry)) {
    if (entry.IsFolder() || !MatchesMask(entry.name, walk.mask)) continue;
    if (walk.pass == Pass::ListFiles) {
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
      RemovesSubfolders(walk.pass) ? native::Purpose::Remove : native::Purpose::List;
  native::Deleter deleter;
  // The current folder's path, only for the list and the test hook.
  std::wstring path(topPath);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  path += L'\\';
  std::vector<Frame> stack;
  stack.push_back(Frame{std::move(top), {}, path.size()});
  if (VisitsFiles(walk.pass)) VisitFiles(stack.back(), walk, path, deleter);
  while (!stack.empty()) {
    if (!Going(walk)) return;
    native::Entry entry;
    const HANDLE folder = stack.back().handle.get();
    if (!stack.back().reader.Next(folder, entry)) {
      if (stack.size() > 1 ? RemovesSubfolders(walk.pass) : RemovesTop(walk.pass)) {
        native::ClearAttributes(folder);
        deleter.Delete(folder);
      }
      stack.pop_back();
      if (!stack.empty()) path.resize(stack.back().pathLength);
      continue;
    }
    if (!IsWalkedFolder(entry)) continue;
    // The entry lies stack.size() levels below the top.
    if (stack.size() > static_cast<size_t>(TestWalkSeams().maxDepth)) continue;
    if (entry.IsLink()) {
      // Removing a directory link removes the link, never its target.
      if (!RemovesSubfolders(walk.pass)) continue;
      win::UniqueFileHandle link = native::OpenLink(folder, entry);
      if (link) deleter.Delete(link.get());
      continue;
    }
    TestWalkSeams().listedFolder(path, entry.name);
    win::UniqueFileHandle child = native::OpenListedFolder(folder, entry, purpose);
    if (!child) continue;
    path += entry.name;
    path += L'\\';
    stack.push_back(Frame{std::move(child), {}, path.size()});
    if (VisitsFiles(walk.pass)) VisitFiles(stack.back(), walk, path, deleter);
  }
}

void WalkFrom(std::wstring_view folder, int checkedLevels, const Walk& walk) {
  WalkTree(OpenTop(folder, checkedLevels, TopPurpose(walk.pass)), folder, walk);
}

// A step on one entry of a local folder takes milliseconds; one that makes no progress for this
// long may be waiting for an oplock holder to acknowledge a break.
constexpr DWORD kStepBoundMs = 2000;
// So many waiting steps in one pass and the pass is left where it is, so that held entries
// cannot stretch the run by more than this many bounds a pass.
constexpr int kMaxStuckBounds = 3;

// The thread's own copies: it may outlive the caller's wait.
struct PassOnThread {
  std::wstring folder;
  int checkedLevels;
  Walk walk;
};

DWORD WINAPI WalkOnThread(void* parameter) {
  auto* pass = static_cast<PassOnThread*>(parameter);
  // Nothing may escape a thread: it would end the process in std::terminate. What the walk can
  // raise is running out of memory, which the caller raises again on its own thread.
  try {
    WalkFrom(pass->folder, pass->checkedLevels, pass->walk);
  } catch (...) {
    pass->walk.watched->threw = 1;
  }
  pass->walk.watched->Release();
  delete pass;
  return 0;
}

// A pass that deletes runs on a thread of its own, so that no call that waits for another
// process (a delete disposition that breaks an oplock granted after the open) holds up the run:
// the call of a step that stalls for a bound is cancelled, and the walk goes on without that
// entry. Without the cancel (before Vista), or where the wait ignores it, the pass is left to its
// thread after kMaxStuckBounds such bounds.
void WatchedWalkFrom(std::wstring_view folder, int checkedLevels, Walk walk) {
  auto* watched = new Watched;
  walk.watched = watched;
  auto* pass = new PassOnThread{std::wstring(folder), checkedLevels, walk};
  DWORD id = 0;
  const win::UniqueKernelHandle thread(::CreateThread(nullptr, 0, WalkOnThread, pass, 0, &id));
  if (!thread) {
    delete pass;
    delete watched;
    walk.watched = nullptr;
    WalkFrom(folder, checkedLevels, walk);
    return;
  }
  LONG seen = watched->steps;
  int stuck = 0;
  DWORD wait;
  while ((wait = ::WaitForSingleObject(thread.get(), kStepBoundMs)) == WAIT_TIMEOUT) {
    const LONG steps = watched->steps;
    if (steps != seen) {
      seen = steps;
      continue;
    }
    // A step that is only slow has no call to cancel, and goes on; one that waits in a call
    // has that call cancelled and counts.
    const auto cancel = win::Entries().cancelSynchronousIo;
    if (cancel && !cancel(thread.get()) && ::GetLastError() == ERROR_NOT_FOUND) continue;
    if (++stuck >= kMaxStuckBounds) break;
  }
  ::InterlockedExchange(&watched->stopped, 1);
  const bool threw = wait == WAIT_OBJECT_0 && watched->threw;
  watched->Release();
  if (threw) throw std::bad_alloc();
}

}  // namespace

void DeleteFilesInTree(std::wstring_view folder, int checkedLevels) {
  WatchedWalkFrom(folder, checkedLevels, Walk{Pass::FilesAndSubfolders});
}

void RemoveFolderTree(std::wstring_view folder, int checkedLevels) {
  WatchedWalkFrom(folder, checkedLevels, Walk{Pass::FolderTree});
}

// Not on a thread: it only opens and lists, which never wait for a holder, and the caller's
// list must not be written after the caller has moved on.
void ListFilesInTree(std::wstring_view folder, std::wstring_view mask,
                     std::vector<std::wstring>& list) {
  WalkFrom(folder, 1, Walk{Pass::ListFiles, mask, &list});
}

void RemoveSubfoldersInTree(std::wstring_view folder, int depth) {
  WatchedWalkFrom(folder, 1, Walk{depth > 0 ? Pass::FolderTree : Pass::Subfolders});
}

WalkSeams& TestWalkSeams() {
  static WalkSeams seams;
  return seams;
}

}  // namespace disk
