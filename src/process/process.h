#pragma once

#include <cstdint>
#include <string>

#include "process/kernel_objects.h"

namespace process {

class TIProcess : public TIKernelObj, public virtual IProcess {
 public:
  using TIKernelObj::TIKernelObj;

  std::string GetExeFile() override { return FExeFile; }
  bool Terminate(uint32_t exitCode) override;

  // A handle with at least `access`: the cached one when it has the rights, else a new one,
  // which is cached in turn. An invalid handle object carries the failure.
  Ptr<IHandle> GetHandle2(uint32_t access);

 protected:
  ~TIProcess() override = default;
  void* Provides(REFIID iid) override;

 private:
  friend class TIProcesses;

  std::string FExeFile;
  uint32_t FSession = 0;
  bool FSessionDone = false;
  int32_t FStore = 0;  // requests to keep the open handle; none in this program
  // The creation time the process table gave; 0 for an object made from an id alone. A new
  // handle must open the process created then, not one that took its id since.
  uint64_t FCreateTime = 0;
  Ptr<IProcess> FParentProcess;
};

// The open of a process object's handle (the one that ends it). Wine ignores SeDebugPrivilege in
// its access checks: tests read the token's privileges at the open.
struct ProcessOpenSeams {
  HANDLE(WINAPI* openProcess)(DWORD access, BOOL inherit, DWORD id) = ::OpenProcess;
};
ProcessOpenSeams& TestProcessOpenSeams();

// The object table's process object for a process id.
Ptr<TIProcess> FindOrCreateProcess(uint32_t id);

}  // namespace process
