#pragma once

#include <cstdint>

namespace process {

// One entry of the system handle table as a 32-bit process sees it; the handle value whole.
struct TNtHandleItem {
  uint32_t pid;
  uint16_t objType;
  uint32_t handle;
  uint32_t objAddr;
  uint32_t access;
};

// One process's handle in a snapshot of the system handle table: the extended table, or where
// the system refuses that class (2000) the classic one, which has no handle values above 65535.
// False when the table does not list it or cannot be read (also for want of memory).
bool FindSystemHandle(uint32_t processId, uint32_t handle, TNtHandleItem* found);

}  // namespace process
