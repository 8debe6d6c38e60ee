#include "ipc/usable_view.h"

#include <windows.h>

#include <cstdint>

namespace ipc {

bool ViewIsUsable(const void* view, size_t length, bool writing) {
  if (!view) return false;
  const auto* at = static_cast<const uint8_t*>(view);
  const uint8_t* const end = at + length;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region = {};
    if (::VirtualQuery(at, &region, sizeof(region)) != sizeof(region)) return false;
    if (region.State != MEM_COMMIT) return false;
    if (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
    const DWORD access = region.Protect & 0xFF;
    const bool readWrite = access == PAGE_READWRITE || access == PAGE_EXECUTE_READWRITE;
    const bool readable = readWrite || access == PAGE_READONLY || access == PAGE_EXECUTE_READ;
    if (writing ? !readWrite : !readable) return false;
    const uint8_t* const next = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) return false;
    at = next;
  }
  return true;
}

}  // namespace ipc
