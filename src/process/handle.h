#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "process/basic.h"
#include "process/kernel_objects.h"
#include "win/unique_handle.h"

namespace process {

class TIHandle : public TIBasic, public virtual IHandle {
 public:
  // Learns the handle's granted access from the system handle table. A handle value of 0 or
  // -1 gives an invalid object with error 87.
  TIHandle(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr, uint32_t processID,
           HANDLE handle, bool autoClose, TKernelObjType typ);

  Ptr<IProcess> GetOwnerProcess() override;
  HANDLE GetHandle() override { return FHandle; }
  uint32_t GetAccess() override { return FAccess; }

 protected:
  ~TIHandle() override = default;
  void* Provides(REFIID iid) override;

 private:
  uint32_t FProcess = 0;
  HANDLE FHandle = INVALID_HANDLE_VALUE;
  uint32_t FAccess = 0;
  TKernelObjType FType = otUnknown;
  bool FAutoClose = false;
  uint32_t FAddr = 0;
  win::UniqueKernelHandle FOwned;  // set when the object closes the handle itself
};

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
