#include "process/process_table.h"

#include <algorithm>
#include <memory>
#include <new>

#include "env/apptools2.h"
#include "process/ntdll.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace process {

namespace {

// Offsets in the records as a 32-bit process sees them.
constexpr size_t kEntryNextOffset = 0;
constexpr size_t kEntryCreateTime = 32;
constexpr size_t kEntryNameLength = 56;
constexpr size_t kEntryNameBuffer = 60;
constexpr size_t kEntryProcessId = 68;
constexpr size_t kEntryParentId = 72;
constexpr size_t kEntrySession = 80;
constexpr size_t kEntryMinimumSize = 84;
constexpr size_t kBasicInfoSize = 24;
constexpr size_t kBasicInfoPeb = 4;
constexpr uint32_t kPebParameters = 16;
constexpr uint32_t kParametersImagePath = 56;

constexpr ULONG kFirstGuess = 64 * 1024;
constexpr ULONG kLargestGuess = 4 * 1024 * 1024;

constexpr DWORD kOpenForPath = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x410

std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &result[0], size, nullptr,
                        nullptr);
  return result;
}

bool ReadExactly(HANDLE process, uint32_t address, void* into, size_t size) {
  SIZE_T read = 0;
  return ::ReadProcessMemory(process,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), into,
                             size, &read) &&
         read == size;
}

// The offsets above describe a 32-bit process. Under WOW64 a target that is not itself a
// WOW64 process is 64-bit: its memory must not be read with them.
bool LayoutIs32Bit(HANDLE process, bool selfUnderWow64) {
  if (!selfUnderWow64) return true;
  const auto isWow64Process = win::Entries().isWow64Process;
  BOOL wow64 = FALSE;
  return isWow64Process && isWow64Process(process, &wow64) && wow64;
}

// The table from one query sized at twice the length the system reports; when it reports
// none, from growing guesses up to 4 MiB.
LONG QueryProcessTable(ntdll::TableBuffer* buffer) {
  const auto query = win::Entries().ntQuerySystemInformation;
  if (!query) return ntdll::kStatusProcedureNotFound;
  ULONG needed = 0;
  LONG status = query(ntdll::kSystemProcessInformation, nullptr, 0, &needed);
  if (needed != 0) {
    if (needed > 0x7FFFFFFF / 2) return ntdll::kStatusInfoLengthMismatch;
    if (!buffer->Allocate(static_cast<size_t>(needed) * 2)) return ntdll::kStatusNoMemory;
    return query(ntdll::kSystemProcessInformation, buffer->data(),
                 static_cast<ULONG>(buffer->size()), &needed);
  }
  ULONG size = kFirstGuess;
  do {
    size *= 2;
    if (!buffer->Allocate(size)) return ntdll::kStatusNoMemory;
    status = query(ntdll::kSystemProcessInformation, buffer->data(), size, &needed);
  } while (status != ntdll::kStatusSuccess && size < kLargestGuess);
  return status;
}

}  // namespace

bool IsListedProcess(HANDLE process, uint64_t createTime) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  return (static_cast<uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime) ==
         createTime;
}

std::string ReadProcessImagePath(HANDLE process) {
  const std::string unknown = "?";
  const auto queryInformation = win::Entries().ntQueryInformationProcess;
  if (!queryInformation) return unknown;
  unsigned char basic[kBasicInfoSize] = {};
  ULONG returned = 0;
  if (queryInformation(process, 0, basic, sizeof(basic), &returned) != ntdll::kStatusSuccess) {
    return unknown;
  }
  const uint32_t peb = ntdll::Read32(basic, kBasicInfoPeb);
  uint32_t parameters = 0;
  unsigned char imagePath[8];
  if (!ReadExactly(process, peb + kPebParameters, &parameters, sizeof(parameters)) ||
      !ReadExactly(process, parameters + kParametersImagePath, imagePath, sizeof(imagePath))) {
    return unknown;
  }
  const uint16_t length = ntdll::Read16(imagePath, 0);
  const uint32_t address = ntdll::Read32(imagePath, 4);
  if (length == 0) return unknown;
  // One spare character: an odd byte length must not overrun the string. Short of memory, the
  // path is as unreadable as when a read fails.
  const std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[length / 2 + 1]());
  if (!path || !ReadExactly(process, address, path.get(), length)) return unknown;
  // A process still starting up may have its path's length in place but not yet its text.
  const wchar_t* const begin = path.get();
  const wchar_t* const end = begin + length / 2;
  if (std::find(begin, end, L'\0') != end) return unknown;
  std::string name;
  try {
    name = Narrow(begin, length / 2);
  } catch (const std::bad_alloc&) {
    return unknown;
  }
  return name.empty() ? unknown : name;
}

ProcessTableSeams& TestProcessTableSeams() {
  static ProcessTableSeams seams;
  return seams;
}

uint32_t EnumerateProcessTableBy(bool (*readPath)(void* context, std::string_view tableName),
                                 void (*onEntry)(void* context, const ProcessTableEntry& entry),
                                 void* context) {
  ntdll::TableBuffer buffer;
  const LONG status = QueryProcessTable(&buffer);
  if (status != ntdll::kStatusSuccess) return static_cast<uint32_t>(status);

  const bool selfUnderWow64 = apptools2::RunningUnderWow64();
  const uintptr_t bufferStart = reinterpret_cast<uintptr_t>(buffer.data());
  size_t offset = 0;
  // The entries chain by offsets from the system; none may lead outside the buffer.
  while (offset + kEntryMinimumSize <= buffer.size()) {
    const unsigned char* entry = buffer.data() + offset;
    ProcessTableEntry found;
    found.id = ntdll::Read32(entry, kEntryProcessId);
    found.parentId = ntdll::Read32(entry, kEntryParentId);
    found.session = ntdll::Read32(entry, kEntrySession);
    found.createTime = static_cast<uint64_t>(ntdll::Read32(entry, kEntryCreateTime + 4)) << 32 |
                       ntdll::Read32(entry, kEntryCreateTime);
    const uintptr_t nameAddress = ntdll::Read32(entry, kEntryNameBuffer);
    if (nameAddress == 0) {
      found.name = "[System Process]";
    } else {
      const size_t nameBytes = ntdll::Read16(entry, kEntryNameLength);
      const bool inside =
          nameAddress >= bufferStart && nameAddress - bufferStart + nameBytes <= buffer.size();
      const std::string tableName =
          inside ? Narrow(reinterpret_cast<const wchar_t*>(nameAddress), nameBytes / 2)
                 : std::string();
      found.name = "?";
      // Security products take reading another process's memory for credential theft, and it
      // costs: only for a name the caller may want, or when the table gives no name to judge.
      if (!inside || readPath(context, tableName)) {
        win::UniqueKernelHandle process(
            TestProcessTableSeams().openProcess(kOpenForPath, FALSE, found.id));
        // A process that took the listed one's id since the snapshot does not lend it its name.
        if (process && LayoutIs32Bit(process.get(), selfUnderWow64) &&
            IsListedProcess(process.get(), found.createTime)) {
          found.name = ReadProcessImagePath(process.get());
        }
      }
      if (found.name == "?") found.name = tableName;
    }
    onEntry(context, found);
    const uint32_t next = ntdll::Read32(entry, kEntryNextOffset);
    if (next == 0 || next > buffer.size() - offset) break;
    offset += next;
  }
  return 0;
}

}  // namespace process
