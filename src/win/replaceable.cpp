#include "win/replaceable.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

#include "ipc/process_user.h"

namespace win {

namespace {

DWORD Read32(const uint8_t* p) {
  DWORD value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

WORD Read16(const uint8_t* p) {
  WORD value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

// The length of the SID at p when it fits in room bytes, else 0.
size_t SidLength(const uint8_t* p, size_t room) {
  if (room < 8 || p[0] != SID_REVISION) return 0;
  const size_t length = 8 + 4 * size_t{p[1]};
  return length <= room ? length : 0;
}

struct Sid {
  const void* bytes;
  size_t length;
  bool operator==(const Sid& other) const {
    return length == other.length && std::memcmp(bytes, other.bytes, length) == 0;
  }
};

// Revision, sub-authority count, the authority in six bytes, the sub-authorities.
#define NT_SID(count) "\x01" count "\0\0\0\0\0\x05"
constexpr Sid kEveryone{"\x01\x01\0\0\0\0\0\x01\0\0\0\0", 12};
constexpr Sid kAnonymous{NT_SID("\x01") "\x07\0\0\0", 12};
constexpr Sid kAdministratorEquivalent[] = {
    {NT_SID("\x01") "\x12\0\0\0", 12},              // SYSTEM
    {NT_SID("\x02") "\x20\0\0\0\x20\x02\0\0", 16},  // Administrators
    {NT_SID("\x02") "\x20\0\0\0\x23\x02\0\0", 16},  // Power Users
    {"\x01\x01\0\0\0\0\0\x03\x04\0\0\0", 12},       // OWNER RIGHTS: the owner, judged first
    {NT_SID("\x06") "\x50\0\0\0\xb5\x89\xfb\x38\x19\x84\xc2\xcb\x5c\x6c\x23\x6d\x57\x00\x77\x6e"
                    "\xc0\x02\x64\x87",
     32},  // TrustedInstaller's service SID
};
#undef NT_SID

bool AdministratorEquivalent(const Sid& sid, const Sid& tokenUser) {
  if (sid == tokenUser) return true;
  for (const Sid& known : kAdministratorEquivalent) {
    if (sid == known) return true;
  }
  return false;
}

DWORD Mapped(DWORD mask) {
  if (mask & GENERIC_READ) mask |= FILE_GENERIC_READ;
  if (mask & GENERIC_WRITE) mask |= FILE_GENERIC_WRITE;
  if (mask & GENERIC_EXECUTE) mask |= FILE_GENERIC_EXECUTE;
  if (mask & GENERIC_ALL) mask |= FILE_ALL_ACCESS;
  return mask;
}

struct Ace {
  uint8_t type, flags;
  DWORD mask;  // generic rights mapped
  Sid sid;     // length 0 where none follows the mask (object ACEs) or it does not fit
};

// Reads the ACE at p, which must end by end, and moves p past it.
bool ReadAce(const uint8_t*& p, const uint8_t* end, Ace& ace) {
  const size_t room = static_cast<size_t>(end - p);
  if (room < 8) return false;
  const size_t size = Read16(p + 2);
  if (size < 8 || size > room) return false;
  ace.type = p[0];
  ace.flags = p[1];
  ace.mask = Mapped(Read32(p + 4));
  ace.sid = {p + 8, SidLength(p + 8, size - 8)};
  p += size;
  return true;
}

// The rights that the ACEs before the index-th deny to every holder of sid: those denied to
// the SID itself, and to Everyone, which every token holds but the anonymous one (XP and later).
DWORD DeniedBefore(const uint8_t* first, const uint8_t* end, unsigned index, const Sid& sid) {
  const bool everyoneCovers = !(sid == kAnonymous);
  DWORD denied = 0;
  const uint8_t* p = first;
  Ace ace;
  for (unsigned i = 0; i < index && ReadAce(p, end, ace); ++i) {
    if (ace.type != ACCESS_DENIED_ACE_TYPE || (ace.flags & INHERIT_ONLY_ACE) || !ace.sid.length) {
      continue;
    }
    if (ace.sid == sid || (everyoneCovers && ace.sid == kEveryone)) denied |= ace.mask;
  }
  return denied;
}

}  // namespace

bool DescriptorReplaceable(const void* descriptor, size_t length, ObjectKind kind,
                           const void* tokenUser, size_t tokenUserLength) {
  const auto* sd = static_cast<const uint8_t*>(descriptor);
  if (!sd || length < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return true;
  const WORD control = Read16(sd + 2);
  const DWORD ownerAt = Read32(sd + 4), daclAt = Read32(sd + 16);
  if (!(control & SE_SELF_RELATIVE) || ownerAt == 0 || ownerAt >= length) return true;
  const Sid owner{sd + ownerAt, SidLength(sd + ownerAt, length - ownerAt)};
  const Sid user{static_cast<const uint8_t*>(tokenUser), tokenUser ? tokenUserLength : 0};
  if (!owner.length || !AdministratorEquivalent(owner, user)) return true;
  if (!(control & SE_DACL_PRESENT) || daclAt == 0 || daclAt >= length || length - daclAt < 8) {
    return true;
  }
  const uint8_t* acl = sd + daclAt;
  const size_t aclSize = Read16(acl + 2);
  if (aclSize < 8 || aclSize > length - daclAt) return true;
  const uint8_t* const first = acl + 8;
  const uint8_t* const end = acl + aclSize;

  // Write and append change a file; add-file and delete-child put another in the folder.
  const DWORD swapRights = WRITE_DAC | WRITE_OWNER | DELETE |
                           (kind == ObjectKind::File ? FILE_WRITE_DATA | FILE_APPEND_DATA
                                                     : FILE_ADD_FILE | FILE_DELETE_CHILD);
  const unsigned count = Read16(acl + 4);
  const uint8_t* p = first;
  for (unsigned i = 0; i < count; ++i) {
    Ace ace;
    if (!ReadAce(p, end, ace)) return true;
    DWORD rights = ace.mask & swapRights;
    if (!rights || (ace.flags & INHERIT_ONLY_ACE)) continue;
    switch (ace.type) {
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        // Weighed at the allows that follow; one whose condition or object may not apply
        // denies nothing.
        continue;
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:  // its condition may hold
        if (!ace.sid.length) return true;
        if (AdministratorEquivalent(ace.sid, user)) continue;
        rights &= ~DeniedBefore(first, end, i, ace.sid);
        break;
      default:
        // Object and unknown kinds: granted, to anyone.
        break;
    }
    if (rights) return true;
  }
  return false;
}

bool Replaceable(const std::wstring& folder, const wchar_t* file) {
  const ObjectKind kind = file ? ObjectKind::File : ObjectKind::Folder;
  // The file calls of 2000 and XP open no longer path; one they cannot read is replaceable.
  wchar_t path[MAX_PATH];
  size_t at = folder.size();
  const size_t fileLength = file ? std::wcslen(file) : 0;
  if (at + fileLength + 2 > MAX_PATH) return true;
  std::memcpy(path, folder.data(), at * sizeof(wchar_t));
  if (file || (at && path[at - 1] == L':')) path[at++] = L'\\';
  if (file) std::memcpy(path + at, file, fileLength * sizeof(wchar_t));
  path[at + fileLength] = L'\0';
  // GetFileSecurityW reads the descriptor itself; GetNamedSecurityInfoW goes through a provider
  // DLL that advapi32 loads on its first call, one module more in this elevated process.
  // Room for the largest answer there can be: the header, an owner and a DACL of 64 KB.
  alignas(DWORD)
      uint8_t descriptor[sizeof(SECURITY_DESCRIPTOR_RELATIVE) + SECURITY_MAX_SID_SIZE + 0x10000];
  DWORD needed = 0;
  if (!::GetFileSecurityW(path, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor,
                          sizeof(descriptor), &needed)) {
    const DWORD error = ::GetLastError();
    return kind == ObjectKind::Folder ||
           (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND);
  }
  const std::vector<uint8_t> user = ipc::ProcessUser(::GetCurrentProcess());
  return DescriptorReplaceable(descriptor, needed, kind, user.data(), user.size());
}

}  // namespace win
