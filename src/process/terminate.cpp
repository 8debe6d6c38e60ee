#include "process/handle.h"
#include "process/process.h"
#include "process/processes.h"

namespace process {

Ptr<IHandle> TIProcess::GetHandle2(uint32_t access) {
  if (!CheckValid()) {
    if (!FHandle) {
      FHandle = Make<TIHandle>(false, kErrorInvalidObject, "This object is invalid.", 0, nullptr,
                               false, otUnknown);
    }
    return FHandle;
  }
  if (FHandle && (FHandle->GetAccess() & access) == access &&
      FHandle->GetOwnerProcess()->GetID() == ::GetCurrentProcessId()) {
    return FHandle;
  }
  Ptr<IHandle> handle;
  if (HANDLE opened = ::OpenProcess(access, TRUE, GetID())) {
    handle = Make<TIHandle>(true, 0, "", ::GetCurrentProcessId(), opened, true, otProcess);
  } else {
    const DWORD error = ::GetLastError();
    SetLastError(error, "");
    handle = Make<TIHandle>(false, error, "", 0, nullptr, false, otUnknown);
  }
  // Only the NT family is supported, where every new handle is kept.
  if (handle->IsValid()) FHandle = handle;
  return handle;
}

bool TIProcess::Terminate(uint32_t exitCode) {
  if (!CheckValid()) return false;
  const Ptr<IHandle> handle = GetHandle2(PROCESS_TERMINATE);  // 1
  if (!handle->IsValid()) {
    SetLastError(handle->GetLastErrorNo(), handle->GetLastErrorStr());
    return false;
  }
  if (!::TerminateProcess(handle->GetHandle(), exitCode)) {
    SetLastError(::GetLastError(), "");
    return false;
  }
  return true;
}

bool TIProcesses::Terminate(uint32_t exitCode) {
  if (!CheckValid()) return false;
  bool ended = false;
  for (int32_t i = 0; i < FCount; ++i) {
    if (GetItem(i)->Terminate(exitCode)) ended = true;
  }
  return ended;
}

}  // namespace process
