#include "process/process.h"

#include "env/apptools2.h"
#include "process/handle.h"
#include "process/process_table.h"
#include "win/unique_handle.h"

namespace process {

namespace {

constexpr DWORD kProcessQueryLimitedInformation = 0x1000;  // Vista and later

// GetProcessTimes needs the query right; Vista and later accept the limited one.
DWORD QueryRight() {
  return apptools2::WindowsMajorVersion() >= 6 ? kProcessQueryLimitedInformation
                                               : PROCESS_QUERY_INFORMATION;
}

}  // namespace

Ptr<TIProcess> FindOrCreateProcess(uint32_t id) {
  Ptr<TIKernelObj> object = FindOrCreateKernelObj(otProcess, id);
  return Ptr<TIProcess>(static_cast<TIProcess*>(object.get()));
}

void* TIProcess::Provides(REFIID iid) {
  if (iid == IProcess::kIid) return static_cast<IProcess*>(this);
  return TIKernelObj::Provides(iid);
}

ProcessOpenSeams& TestProcessOpenSeams() {
  static ProcessOpenSeams seams;
  return seams;
}

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
  // A listed process is confirmed by its creation time, which takes the right to query it.
  const DWORD openAccess = FCreateTime != 0 ? access | QueryRight() : access;
  win::UniqueKernelHandle opened(TestProcessOpenSeams().openProcess(openAccess, TRUE, GetID()));
  if (opened && FCreateTime != 0 && !IsListedProcess(opened.get(), FCreateTime)) {
    // The listed process has ended and its id now names another: as if it could not be opened.
    opened.reset();
    ::SetLastError(ERROR_INVALID_PARAMETER);
  }
  Ptr<IHandle> handle;
  if (opened) {
    handle =
        Make<TIHandle>(true, 0, "", ::GetCurrentProcessId(), opened.release(), true, otProcess);
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

}  // namespace process
