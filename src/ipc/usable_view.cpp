#include "ipc/usable_view.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "win/entry_points.h"

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

ViewTouch HowToTouch(HANDLE map) {
  const auto query = win::Entries().ntQuerySection;
  if (!query) return ViewTouch::ThroughCalls;
  // SECTION_BASIC_INFORMATION: base address, allocation attributes, maximum size.
  struct {
    void* base;
    ULONG attributes;
    LARGE_INTEGER size;
  } basic = {};
  constexpr ULONG kSectionBasicInformation = 0;
  constexpr ULONG kSecFile = 0x800000, kSecImage = 0x1000000;
  ULONG returned = 0;
  if (query(map, kSectionBasicInformation, &basic, sizeof(basic), &returned) != 0) {
    return ViewTouch::Refused;
  }
  return basic.attributes & (kSecFile | kSecImage) ? ViewTouch::Refused : ViewTouch::Direct;
}

bool CopyAcross(ViewTouch touch, void* to, const void* from, size_t length, bool intoView) {
  if (touch == ViewTouch::Direct) {
    std::memcpy(to, from, length);
    return true;
  }
  const HANDLE self = ::GetCurrentProcess();
  SIZE_T done = 0;
  return touch == ViewTouch::ThroughCalls &&
         (intoView ? ::WriteProcessMemory(self, to, from, length, &done)
                   : ::ReadProcessMemory(self, from, to, length, &done)) &&
         done == length;
}

}  // namespace ipc
