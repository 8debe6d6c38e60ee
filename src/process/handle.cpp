#include "process/handle.h"

#include "process/handle_table.h"
#include "process/ntdll.h"
#include "process/process.h"
#include "win/entry_points.h"

namespace process {

namespace {

bool IsHandleValue(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

uint32_t HandleValue(HANDLE handle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

// The granted access of one of our own handles, from its basic object information.
bool QueryOwnAccess(HANDLE handle, uint32_t* access) {
  const auto queryObject = win::Entries().ntQueryObject;
  if (!queryObject) return false;
  unsigned char info[56] = {};
  ULONG returned = 0;
  if (queryObject(handle, 0, info, sizeof(info), &returned) != ntdll::kStatusSuccess) return false;
  *access = ntdll::Read32(info, 4);
  return true;
}

}  // namespace

TIHandle::TIHandle(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr,
                   uint32_t processID, HANDLE handle, bool autoClose, TKernelObjType typ)
    : TIBasic(valid, lastErrorNo, lastErrorStr) {
  if (!valid) return;
  if (!IsHandleValue(handle)) {
    SetLastError(ERROR_INVALID_PARAMETER, "");
  } else {
    FProcess = processID;
    FHandle = handle;
    FAutoClose = autoClose;
    FType = typ;
    const bool own = processID == ::GetCurrentProcessId();
    if (autoClose && own) FOwned.reset(handle);

    TNtHandleItem item;
    if (FindSystemHandle(FProcess, HandleValue(FHandle), &item)) {
      FAccess = item.access;
      FAddr = item.objAddr;
    } else if (own) {
      QueryOwnAccess(FHandle, &FAccess);
      FAddr = HandleValue(FHandle);
    }
    FSuccess = true;
  }
  FValid = IsHandleValue(FHandle);
}

void* TIHandle::Provides(REFIID iid) {
  if (iid == IHandle::kIid) return static_cast<IHandle*>(this);
  return TIBasic::Provides(iid);
}

Ptr<IProcess> TIHandle::GetOwnerProcess() { return FindOrCreateProcess(FProcess); }

}  // namespace process
