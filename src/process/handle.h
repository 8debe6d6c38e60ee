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

}  // namespace process
