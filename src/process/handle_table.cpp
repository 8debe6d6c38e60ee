#include "process/handle_table.h"

#include <algorithm>

#include "process/ntdll.h"
#include "win/entry_points.h"

namespace process {

namespace {

// The tables as a 32-bit process sees them (WOW64 converts the extended one).
constexpr size_t kHandleItemSize = 16;
constexpr size_t kHandleProbeSize = 20;
constexpr size_t kExtendedHeaderSize = 8;
constexpr size_t kExtendedItemSize = 28;

// One snapshot of a handle table: a length probe into a small zero-filled buffer, then one query
// at twice the length. The status of the last query.
LONG QueryHandleTable(ULONG infoClass, size_t probeSize, ntdll::TableBuffer& buffer) {
  const auto query = win::Entries().ntQuerySystemInformation;
  if (!query) return ntdll::kStatusProcedureNotFound;
  unsigned char probe[kExtendedHeaderSize + kExtendedItemSize] = {};
  ULONG needed = 0;
  const LONG status = query(infoClass, probe, static_cast<ULONG>(probeSize), &needed);
  if (needed == 0)
    return status != ntdll::kStatusSuccess ? status : ntdll::kStatusInfoLengthMismatch;
  if (needed > 0x7FFFFFFF / 2) return ntdll::kStatusInfoLengthMismatch;
  if (!buffer.Allocate(static_cast<size_t>(needed) * 2)) return ntdll::kStatusNoMemory;
  ULONG returned = 0;
  return query(infoClass, buffer.data(), static_cast<ULONG>(buffer.size()), &returned);
}

// The count comes from the system; never walk past what the buffer holds.
size_t EntryCount(const ntdll::TableBuffer& buffer, size_t header, size_t item) {
  if (buffer.size() < header) return 0;
  return std::min<size_t>(ntdll::Read32(buffer.data(), 0), (buffer.size() - header) / item);
}

// Full handle values and process ids (XP and later).
bool FindInExtendedTable(const ntdll::TableBuffer& table, uint32_t processId, uint32_t handle,
                         TNtHandleItem* found) {
  const size_t count = EntryCount(table, kExtendedHeaderSize, kExtendedItemSize);
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* entry = table.data() + kExtendedHeaderSize + i * kExtendedItemSize;
    if (ntdll::Read32(entry, 4) != processId || ntdll::Read32(entry, 8) != handle) continue;
    *found = {processId, ntdll::Read16(entry, 18), handle, ntdll::Read32(entry, 0),
              ntdll::Read32(entry, 12)};
    return true;
  }
  return false;
}

// Handle values cut to 16 bits: a handle above 65535 is never found here.
bool FindInClassicTable(const ntdll::TableBuffer& table, uint32_t processId, uint32_t handle,
                        TNtHandleItem* found) {
  const size_t count = EntryCount(table, 4, kHandleItemSize);
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* entry = table.data() + 4 + i * kHandleItemSize;
    if (ntdll::Read32(entry, 0) != processId || ntdll::Read16(entry, 6) != handle) continue;
    *found = {processId, ntdll::Read16(entry, 4), handle, ntdll::Read32(entry, 8),
              ntdll::Read32(entry, 12)};
    return true;
  }
  return false;
}

}  // namespace

bool FindSystemHandle(uint32_t processId, uint32_t handle, TNtHandleItem* found) {
  ntdll::TableBuffer table;
  const LONG status = QueryHandleTable(ntdll::kSystemExtendedHandleInformation,
                                       kExtendedHeaderSize + kExtendedItemSize, table);
  if (status == ntdll::kStatusSuccess) return FindInExtendedTable(table, processId, handle, found);
  // Windows 2000 has only the table whose handle values are 16 bits wide.
  if (status != ntdll::kStatusInvalidInfoClass) return false;
  return QueryHandleTable(ntdll::kSystemHandleInformation, kHandleProbeSize, table) ==
             ntdll::kStatusSuccess &&
         FindInClassicTable(table, processId, handle, found);
}

}  // namespace process
