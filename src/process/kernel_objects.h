#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "process/basic.h"

namespace process {

enum TKernelObjType : uint8_t {
  otUnknown,
  otSemaphore,
  otEvent,
  otMutex,
  otProcess,
  otThread,
  otTimer,
  otFileMapping,
  otFile,
  otSnapshot,
  otNotification,
  otComPort,
  otPipe,
  otMailslot,
  otSocket,
  otVxd,
  otConsoleInput,
  otConsoleOutput,
  otDirectory,
  otSymbolicLink,
  otToken,
  otWindowStation,
  otDesktop,
  otKey,
  otPort,
  otIoCompletion,
  otKeyedEvent
};

class TIKernelObj : public TIBasic, public virtual IKernelObj {
 public:
  TIKernelObj(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr,
              TKernelObjType type, uint32_t id);

  uint32_t GetID() override { return FID; }
  Ptr<IHandle> GetHandle() override { return FHandle; }
  TKernelObjType Type() const { return FType; }

 protected:
  ~TIKernelObj() override;
  void* Provides(REFIID iid) override;

  TKernelObjType FType = otUnknown;
  bool FIDReady = false;
  uint32_t FID = 0;
  Ptr<IHandle> FHandle;

 private:
  friend Ptr<TIKernelObj> FindOrCreateKernelObj(TKernelObjType type, uint32_t id);
  bool FRegistered = false;
};

// The one live object for (type, id), made when there is none: while any reference to it
// lives, every lookup gives the same object.
Ptr<TIKernelObj> FindOrCreateKernelObj(TKernelObjType type, uint32_t id);

// Kernel objects alive in this process.
size_t KernelObjectCount();

}  // namespace process
