#include "disk/native_dir.h"

#include <winternl.h>

#include <cstddef>

#include "env/apptools2.h"
#include "win/entry_points.h"
#include "win/nt_status.h"

namespace disk::native {

namespace {

using namespace win::nt;

constexpr ULONG kOpenReparsePoint = 0x00200000;  // FILE_OPEN_REPARSE_POINT
// An open that breaks another process's oplock answers at once instead of waiting for the holder
// to acknowledge, which he may never do.
constexpr ULONG kCompleteIfOplocked = 0x00000100;  // FILE_COMPLETE_IF_OPLOCKED
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kTagNameSurrogate = 0x20000000;
constexpr ULONG kDispositionDelete = 0x1;          // FILE_DISPOSITION_DELETE
constexpr ULONG kDispositionPosixSemantics = 0x2;  // FILE_DISPOSITION_POSIX_SEMANTICS

// Information classes.
constexpr ULONG kFileFullDirectoryInformation = 2;
constexpr ULONG kFileBasicInformation = 4;
constexpr ULONG kFileInternalInformation = 6;
constexpr ULONG kFileDispositionInformation = 13;
constexpr ULONG kFileAttributeTagInformation = 35;
constexpr ULONG kFileIdBothDirectoryInformation = 37;
constexpr ULONG kFileDispositionInformationEx = 64;  // Windows 10 1607 and later

// Holds one entry with a name of 255 characters, the longest a file system gives.
constexpr size_t kReaderBytes = 1024;

struct BasicInformation {
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  ULONG attributes;
};

struct AttributeTagInformation {
  ULONG attributes;
  ULONG reparseTag;
};

// The common head of FILE_FULL_DIR_INFORMATION and FILE_ID_BOTH_DIR_INFORMATION.
struct DirectoryHead {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  LARGE_INTEGER endOfFile, allocationSize;
  ULONG attributes;
  ULONG nameLength;
};

// Both follow the head with eaSize, which holds the reparse tag of a reparse entry.
struct IdBothDirectoryInformation {
  DirectoryHead head;
  ULONG eaSize;
  CCHAR shortNameLength;
  WCHAR shortName[12];
  LARGE_INTEGER fileId;
  WCHAR name[1];
};

struct FullDirectoryInformation {
  DirectoryHead head;
  ULONG eaSize;
  WCHAR name[1];
};

static_assert(offsetof(IdBothDirectoryInformation, name) == 104, "FILE_ID_BOTH_DIR_INFORMATION");
static_assert(offsetof(FullDirectoryInformation, name) == 68, "FILE_FULL_DIR_INFORMATION");

// Windows 2000 lists without file ids: it refuses the class that has them, and a system that
// says it is 2000 is not asked, so the 2000 way is the one taken wherever 2000 is reported.
ULONG FirstListClass() {
  const DWORD version = apptools2::WindowsVersion();
  return version != 0 && version < 0x0501 ? kFileFullDirectoryInformation
                                          : kFileIdBothDirectoryInformation;
}

// The listing class taken, kept for the rest of the process; the calls themselves are in
// win::Entries().
ULONG& ListClass() {
  static ULONG listClass = FirstListClass();
  return listClass;
}

bool Complete() {
  const win::EntryPoints& e = win::Entries();
  return e.ntOpenFile && e.ntSetInformationFile && e.ntQueryInformationFile &&
         e.ntQueryDirectoryFile;
}

UNICODE_STRING Counted(const std::wstring& text) {
  UNICODE_STRING counted;
  counted.Buffer = const_cast<PWSTR>(text.c_str());
  counted.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  return counted;
}

// No backup intent: the opens make the access checks that DeleteFileW and RemoveDirectoryW make,
// even where a backup privilege is enabled. Empty, and held set, for an entry that another
// process holds an oplock on: it is left as it is.
win::UniqueFileHandle Open(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG options,
                           bool* held = nullptr) {
  if (!Complete() || name.size() > 32000) return {};
  UNICODE_STRING counted = Counted(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE handle = nullptr;
  const NTSTATUS status =
      win::Entries().ntOpenFile(&handle, access | SYNCHRONIZE, &attributes, &io, kShareAll,
                                options | FILE_SYNCHRONOUS_IO_NONALERT | kCompleteIfOplocked);
  // The native calls give null, not INVALID_HANDLE_VALUE, for no handle.
  win::UniqueFileHandle opened(NT_SUCCESS(status) && handle ? handle : INVALID_HANDLE_VALUE);
  // The handle is live, but the next call on it would wait for the break.
  if (status == kStatusOplockBreakInProgress) {
    if (held) *held = true;
    return {};
  }
  return opened;
}

NTSTATUS SetInformation(HANDLE handle, void* information, ULONG length, ULONG informationClass) {
  IO_STATUS_BLOCK io;
  return win::Entries().ntSetInformationFile(handle, &io, information, length, informationClass);
}

// The tag stays 0 where the file system answers only the basic query.
bool AttributesAndTag(HANDLE handle, ULONG& attributes, ULONG& tag) {
  IO_STATUS_BLOCK io;
  AttributeTagInformation info = {};
  if (NT_SUCCESS(win::Entries().ntQueryInformationFile(handle, &io, &info, sizeof(info),
                                                       kFileAttributeTagInformation))) {
    attributes = info.attributes;
    tag = (info.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info.reparseTag : 0;
    return true;
  }
  BasicInformation basic = {};
  if (!NT_SUCCESS(win::Entries().ntQueryInformationFile(handle, &io, &basic, sizeof(basic),
                                                        kFileBasicInformation))) {
    return false;
  }
  attributes = basic.attributes;
  tag = 0;
  return true;
}

bool IsLinkHandle(HANDLE handle, bool& link) {
  ULONG attributes = 0, tag = 0;
  if (!AttributesAndTag(handle, attributes, tag)) return false;
  link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(tag);
  return true;
}

bool FileId(HANDLE handle, LARGE_INTEGER& id) {
  IO_STATUS_BLOCK io;
  return NT_SUCCESS(win::Entries().ntQueryInformationFile(handle, &io, &id, sizeof(id),
                                                          kFileInternalInformation));
}

// The handle is what the parent listed: no link, and the same file where the listing has ids.
bool IsListedEntry(HANDLE handle, const Entry& entry) {
  ULONG attributes = 0, tag = 0;
  if (!AttributesAndTag(handle, attributes, tag)) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(tag)) return false;
  if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.IsFolder()) return false;
  if (entry.id == 0) return true;
  LARGE_INTEGER id = {};
  return FileId(handle, id) && static_cast<std::uint64_t>(id.QuadPart) == entry.id;
}

// The answers that mean "this file system does not know the class", for the listing class
// with file ids and the extended deletion class alike: the system's own check answers
// STATUS_INVALID_INFO_CLASS, and file systems, redirectors and third-party drivers answer with
// any of the others (STATUS_INVALID_DEVICE_REQUEST is the documented one for a request a file
// system does not support). A listing refusal taken for an empty folder would leave the data
// folder whole.
bool RefusesClass(NTSTATUS status) {
  return status == kStatusInvalidInfoClass || status == kStatusInvalidParameter ||
         status == kStatusNotSupported || status == kStatusNotImplemented ||
         status == kStatusInvalidDeviceRequest;
}

// One read of entries into the buffer; the number of bytes read, 0 at the end or on an error.
size_t Read(HANDLE folder, std::vector<LONGLONG>& buffer, bool restart, UNICODE_STRING* name) {
  if (!Complete()) return 0;
  IO_STATUS_BLOCK io = {};
  const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(LONGLONG));
  NTSTATUS status =
      win::Entries().ntQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                          size, ListClass(), name != nullptr, name, restart);
  // The full class is the older one that still gives reparse tags.
  if (RefusesClass(status) && ListClass() != kFileFullDirectoryInformation) {
    ListClass() = kFileFullDirectoryInformation;
    status =
        win::Entries().ntQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                            size, ListClass(), name != nullptr, name, restart);
  }
  // STATUS_NO_MORE_FILES and STATUS_NO_SUCH_FILE are warnings or errors, never success.
  if (status != 0) return 0;
  return static_cast<size_t>(io.Information);
}

// The entry at offset; the offset of the next one, or 0 after the last.
size_t Parse(const std::vector<LONGLONG>& buffer, size_t offset, size_t filled, Entry& entry) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data()) + offset;
  const auto* head = reinterpret_cast<const DirectoryHead*>(bytes);
  const WCHAR* name;
  ULONG eaSize;
  entry.id = 0;
  if (ListClass() == kFileIdBothDirectoryInformation) {
    const auto* info = reinterpret_cast<const IdBothDirectoryInformation*>(bytes);
    name = info->name;
    eaSize = info->eaSize;
    entry.id = static_cast<std::uint64_t>(info->fileId.QuadPart);
  } else {
    const auto* info = reinterpret_cast<const FullDirectoryInformation*>(bytes);
    name = info->name;
    eaSize = info->eaSize;
  }
  entry.name.assign(name, head->nameLength / sizeof(wchar_t));
  entry.attributes = head->attributes;
  entry.reparseTag = (head->attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? eaSize : 0;
  TestListingSeams().listedEntry(entry);
  const size_t next = head->nextEntryOffset;
  return next == 0 || offset + next >= filled ? 0 : offset + next;
}

}  // namespace

bool IsLinkTag(ULONG tag) { return tag == 0 || (tag & kTagNameSurrogate) != 0; }

win::UniqueFileHandle OpenFolderByPath(const std::wstring& path) {
  std::wstring native;
  if (path.compare(0, 4, L"\\\\?\\") == 0) {
    native = L"\\??\\" + path.substr(4);
  } else if (path.compare(0, 2, L"\\\\") == 0) {
    native = L"\\??\\UNC\\" + path.substr(2);
  } else {
    native = L"\\??\\" + path;
  }
  // A drive's root folder is named with its backslash.
  if (native.back() == L':') native += L'\\';
  return Open(nullptr, native, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
              FILE_DIRECTORY_FILE);
}

FolderReader::FolderReader() : buffer_(kReaderBytes / sizeof(LONGLONG)) {}

bool FolderReader::Next(HANDLE folder, Entry& entry) {
  if (filled_ == 0) {
    if (ended_) return false;
    filled_ = Read(folder, buffer_, restart_, nullptr);
    restart_ = false;
    offset_ = 0;
    if (filled_ == 0) {
      ended_ = true;
      return false;
    }
  }
  offset_ = Parse(buffer_, offset_, filled_, entry);
  if (offset_ == 0) filled_ = 0;
  return true;
}

void FolderReader::Restart() {
  restart_ = true;
  ended_ = false;
  filled_ = 0;
  offset_ = 0;
}

bool ListEntryNamed(HANDLE folder, const std::wstring& name, Entry& entry) {
  if (name.empty() || name.find_first_of(L"*?<>\"") != std::wstring::npos) return false;
  std::vector<LONGLONG> buffer(kReaderBytes / sizeof(LONGLONG));
  UNICODE_STRING counted = Counted(name);
  const size_t filled = Read(folder, buffer, true, &counted);
  if (filled == 0) return false;
  Parse(buffer, 0, filled, entry);
  return true;
}

win::UniqueFileHandle OpenListedFolder(HANDLE parent, const Entry& entry, Purpose purpose) {
  if (!entry.IsFolder() || entry.IsLink()) return {};
  const ACCESS_MASK list = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
  const ULONG options = FILE_DIRECTORY_FILE | kOpenReparsePoint;
  win::UniqueFileHandle folder;
  bool held = false;
  if (purpose == Purpose::Remove) {
    folder = Open(parent, entry.name, list | FILE_WRITE_ATTRIBUTES | DELETE, options, &held);
  }
  // A folder that may not be deleted can still be emptied; a held one is left whole.
  if (!folder && !held) folder = Open(parent, entry.name, list, options);
  if (!folder || !IsListedEntry(folder.get(), entry)) return {};
  return folder;
}

win::UniqueFileHandle OpenListedFile(HANDLE parent, const Entry& entry) {
  if (entry.IsFolder() || entry.IsLink()) return {};
  win::UniqueFileHandle file = Open(parent, entry.name, DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_NON_DIRECTORY_FILE | kOpenReparsePoint);
  if (!file || !IsListedEntry(file.get(), entry)) return {};
  return file;
}

win::UniqueFileHandle OpenLink(HANDLE parent, const Entry& entry) {
  if (!entry.IsLink()) return {};
  win::UniqueFileHandle link =
      Open(parent, entry.name, DELETE | FILE_READ_ATTRIBUTES, kOpenReparsePoint);
  bool isLink = false;
  // Wine follows the link even so; deleting through that handle would delete the target.
  if (!link || !IsLinkHandle(link.get(), isLink) || !isLink) return {};
  return link;
}

bool ClearAttributes(HANDLE handle) {
  BasicInformation basic = {};  // zero times leave the times unchanged
  basic.attributes = FILE_ATTRIBUTE_NORMAL;
  return NT_SUCCESS(SetInformation(handle, &basic, sizeof(basic), kFileBasicInformation));
}

bool Deleter::Delete(HANDLE handle) {
  if (!Complete()) return false;
  if (!classicOnly_) {
    // No FILE_DISPOSITION_IGNORE_READONLY_ATTRIBUTE: a read-only file stays.
    ULONG flags = kDispositionDelete | kDispositionPosixSemantics;
    const NTSTATUS status =
        SetInformation(handle, &flags, sizeof(flags), kFileDispositionInformationEx);
    // Older systems, file systems without POSIX deletion, and Wine refuse the class itself.
    if (!RefusesClass(status)) return NT_SUCCESS(status);
    classicOnly_ = true;
  }
  BOOLEAN deleteFile = TRUE;
  return NT_SUCCESS(
      SetInformation(handle, &deleteFile, sizeof(deleteFile), kFileDispositionInformation));
}

bool ListsWithFileIds() { return ListClass() == kFileIdBothDirectoryInformation; }

void RestartListClass() { ListClass() = FirstListClass(); }

ListingSeams& TestListingSeams() {
  static ListingSeams seams;
  return seams;
}

}  // namespace disk::native
