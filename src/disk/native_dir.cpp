#include "disk/native_dir.h"

#include <winternl.h>

#include <cstddef>

#include "win/entry_points.h"

namespace disk::native {

namespace {

constexpr NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
constexpr ULONG kOpenReparsePoint = 0x00200000;  // FILE_OPEN_REPARSE_POINT
constexpr ULONG kOpenForBackup = 0x00004000;     // FILE_OPEN_FOR_BACKUP_INTENT
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Information classes.
constexpr ULONG kFileDirectoryInformation = 1;
constexpr ULONG kFileBasicInformation = 4;
constexpr ULONG kFileInternalInformation = 6;
constexpr ULONG kFileDispositionInformation = 13;
constexpr ULONG kFileIdBothDirectoryInformation = 37;

struct BasicInformation {
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  ULONG attributes;
};

// The common head of FILE_DIRECTORY_INFORMATION and FILE_ID_BOTH_DIR_INFORMATION.
struct DirectoryHead {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  LARGE_INTEGER endOfFile, allocationSize;
  ULONG attributes;
  ULONG nameLength;
};

struct IdBothDirectoryInformation {
  DirectoryHead head;
  ULONG eaSize;
  CCHAR shortNameLength;
  WCHAR shortName[12];
  LARGE_INTEGER fileId;
  WCHAR name[1];
};

struct DirectoryInformation {
  DirectoryHead head;
  WCHAR name[1];
};

using NtOpenFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                      ULONG, ULONG);
using NtFileInformationFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
using NtQueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK,
                                                PVOID, ULONG, ULONG, BOOLEAN, PUNICODE_STRING,
                                                BOOLEAN);

struct Ntdll {
  NtOpenFileFn openFile = win::FindEntry<NtOpenFileFn>(L"ntdll", "NtOpenFile");
  NtFileInformationFn queryInformation =
      win::FindEntry<NtFileInformationFn>(L"ntdll", "NtQueryInformationFile");
  NtFileInformationFn setInformation =
      win::FindEntry<NtFileInformationFn>(L"ntdll", "NtSetInformationFile");
  NtQueryDirectoryFileFn queryDirectory =
      win::FindEntry<NtQueryDirectoryFileFn>(L"ntdll", "NtQueryDirectoryFile");
  // Windows 2000 lists without file ids.
  ULONG listClass = kFileIdBothDirectoryInformation;

  bool Complete() const { return openFile && queryInformation && setInformation && queryDirectory; }
};

Ntdll& Nt() {
  static Ntdll ntdll;
  return ntdll;
}

UNICODE_STRING Counted(const std::wstring& text) {
  UNICODE_STRING counted;
  counted.Buffer = const_cast<PWSTR>(text.c_str());
  counted.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  return counted;
}

win::UniqueFileHandle Open(HANDLE root, const std::wstring& name, ACCESS_MASK access,
                           ULONG options) {
  if (!Nt().Complete() || name.size() > 32000) return {};
  UNICODE_STRING counted = Counted(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE handle = nullptr;
  const NTSTATUS status = Nt().openFile(&handle, access | SYNCHRONIZE, &attributes, &io, kShareAll,
                                        options | FILE_SYNCHRONOUS_IO_NONALERT | kOpenForBackup);
  // The native calls give null, not INVALID_HANDLE_VALUE, for no handle.
  return win::UniqueFileHandle(NT_SUCCESS(status) && handle ? handle : INVALID_HANDLE_VALUE);
}

bool Attributes(HANDLE handle, ULONG& attributes) {
  BasicInformation basic = {};
  IO_STATUS_BLOCK io;
  if (!NT_SUCCESS(
          Nt().queryInformation(handle, &io, &basic, sizeof(basic), kFileBasicInformation))) {
    return false;
  }
  attributes = basic.attributes;
  return true;
}

bool FileId(HANDLE handle, LARGE_INTEGER& id) {
  IO_STATUS_BLOCK io;
  return NT_SUCCESS(Nt().queryInformation(handle, &io, &id, sizeof(id), kFileInternalInformation));
}

// The handle is what the parent listed: no link, and the same file where the listing has ids.
bool IsListedEntry(HANDLE handle, const Entry& entry) {
  ULONG attributes = 0;
  if (!Attributes(handle, attributes) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.IsFolder()) return false;
  if (entry.id == 0) return true;
  LARGE_INTEGER id = {};
  return FileId(handle, id) && static_cast<std::uint64_t>(id.QuadPart) == entry.id;
}

// Reads one buffer of entries; false at the end or on an error.
bool ReadEntries(HANDLE folder, std::vector<LONGLONG>& buffer, bool restart, UNICODE_STRING* name,
                 std::vector<Entry>& entries) {
  IO_STATUS_BLOCK io = {};
  const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(LONGLONG));
  NTSTATUS status = Nt().queryDirectory(folder, nullptr, nullptr, nullptr, &io, buffer.data(), size,
                                        Nt().listClass, name != nullptr, name, restart);
  if (status == kStatusInvalidInfoClass && Nt().listClass != kFileDirectoryInformation) {
    Nt().listClass = kFileDirectoryInformation;
    status = Nt().queryDirectory(folder, nullptr, nullptr, nullptr, &io, buffer.data(), size,
                                 Nt().listClass, name != nullptr, name, restart);
  }
  // STATUS_NO_MORE_FILES and STATUS_NO_SUCH_FILE are warnings or errors, never success.
  if (status != 0 || io.Information == 0) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
  for (size_t offset = 0;;) {
    Entry entry;
    if (Nt().listClass == kFileIdBothDirectoryInformation) {
      const auto* info = reinterpret_cast<const IdBothDirectoryInformation*>(bytes + offset);
      entry.name.assign(info->name, info->head.nameLength / sizeof(wchar_t));
      entry.attributes = info->head.attributes;
      entry.id = static_cast<std::uint64_t>(info->fileId.QuadPart);
    } else {
      const auto* info = reinterpret_cast<const DirectoryInformation*>(bytes + offset);
      entry.name.assign(info->name, info->head.nameLength / sizeof(wchar_t));
      entry.attributes = info->head.attributes;
    }
    entries.push_back(std::move(entry));
    const ULONG next = reinterpret_cast<const DirectoryHead*>(bytes + offset)->nextEntryOffset;
    if (next == 0 || offset + next >= io.Information) break;
    offset += next;
  }
  return true;
}

}  // namespace

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

std::vector<Entry> ListFolder(HANDLE folder) {
  std::vector<Entry> entries;
  if (!Nt().Complete()) return entries;
  std::vector<LONGLONG> buffer(8192);  // 64 KB, aligned for the entries
  for (bool restart = true; ReadEntries(folder, buffer, restart, nullptr, entries);) {
    restart = false;
  }
  return entries;
}

bool FindEntry(HANDLE folder, const std::wstring& name, Entry& entry) {
  if (!Nt().Complete() || name.empty() || name.find_first_of(L"*?<>\"") != std::wstring::npos) {
    return false;
  }
  std::vector<LONGLONG> buffer(1024);
  std::vector<Entry> entries;
  UNICODE_STRING counted = Counted(name);
  if (!ReadEntries(folder, buffer, true, &counted, entries) || entries.empty()) return false;
  entry = entries.front();
  return true;
}

win::UniqueFileHandle OpenListedFolder(HANDLE parent, const Entry& entry, Purpose purpose) {
  if (!entry.IsFolder() || entry.IsLink()) return {};
  const ACCESS_MASK list = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
  const ULONG options = FILE_DIRECTORY_FILE | kOpenReparsePoint;
  win::UniqueFileHandle folder;
  if (purpose == Purpose::Remove) {
    folder = Open(parent, entry.name, list | FILE_WRITE_ATTRIBUTES | DELETE, options);
  }
  // A folder that may not be deleted can still be emptied.
  if (!folder) folder = Open(parent, entry.name, list, options);
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
  ULONG attributes = 0;
  // Wine follows the link even so; deleting through that handle would delete the target.
  if (!link || !Attributes(link.get(), attributes) ||
      !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return {};
  }
  return link;
}

win::UniqueFileHandle Reopen(HANDLE folder) {
  win::UniqueFileHandle again =
      Open(folder, std::wstring(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES, FILE_DIRECTORY_FILE);
  LARGE_INTEGER id = {}, againId = {};
  if (!again || !FileId(folder, id) || !FileId(again.get(), againId) ||
      id.QuadPart != againId.QuadPart) {
    return {};
  }
  return again;
}

bool ClearAttributes(HANDLE handle) {
  BasicInformation basic = {};  // zero times leave the times unchanged
  basic.attributes = FILE_ATTRIBUTE_NORMAL;
  IO_STATUS_BLOCK io;
  return NT_SUCCESS(Nt().setInformation(handle, &io, &basic, sizeof(basic), kFileBasicInformation));
}

bool MarkForDeletion(HANDLE handle) {
  BOOLEAN deleteFile = TRUE;
  IO_STATUS_BLOCK io;
  return NT_SUCCESS(Nt().setInformation(handle, &io, &deleteFile, sizeof(deleteFile),
                                        kFileDispositionInformation));
}

}  // namespace disk::native
