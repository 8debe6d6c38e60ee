#include "process/handle.h"

#include <algorithm>

#include "process/ntdll.h"
#include "process/process.h"
#include "win/entry_points.h"

namespace process {

namespace {

constexpr size_t kHandleItemSize = 16;

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

bool FindSystemHandle(uint32_t processId, uint32_t handle, TNtHandleItem* found) {
  const auto query = win::Entries().ntQuerySystemInformation;
  if (!query) return false;
  unsigned char probe[20] = {};
  ULONG needed = 0;
  query(ntdll::kSystemHandleInformation, probe, sizeof(probe), &needed);
  if (needed == 0 || needed > 0x7FFFFFFF / 2) return false;
  ntdll::TableBuffer buffer;
  if (!buffer.Allocate(static_cast<size_t>(needed) * 2)) return false;
  ULONG returned = 0;
  if (query(ntdll::kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
            &returned) != ntdll::kStatusSuccess) {
    return false;
  }
  // The count comes from the system; never walk past what the buffer holds.
  const size_t count =
      std::min<size_t>(ntdll::Read32(buffer.data(), 0), (buffer.size() - 4) / kHandleItemSize);
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* entry = buffer.data() + 4 + i * kHandleItemSize;
    if (ntdll::Read32(entry, 0) != processId || ntdll::Read16(entry, 6) != handle) continue;
    *found = {ntdll::Read32(entry, 0), ntdll::Read16(entry, 4), ntdll::Read16(entry, 6),
              ntdll::Read32(entry, 8), ntdll::Read32(entry, 12)};
    return true;
  }
  return false;
}

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
