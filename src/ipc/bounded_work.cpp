#include "ipc/bounded_work.h"

#include "win/unique_handle.h"

namespace ipc {

namespace {

DWORD WINAPI WorkOnThread(void* parameter) {
  auto* work = static_cast<BoundedWork*>(parameter);
  work->Work();
  FinishedWork threadsReference(work);
  return 0;
}

}  // namespace

void BoundedWork::Release() {
  if (::InterlockedDecrement(&references_) == 0) delete this;
}

FinishedWork RunWithin(std::unique_ptr<BoundedWork> work, DWORD waitMs) {
  DWORD threadId = 0;
  const win::UniqueKernelHandle thread(
      ::CreateThread(nullptr, 0, WorkOnThread, work.get(), 0, &threadId));
  if (!thread) return FinishedWork();
  FinishedWork callersReference(work.release());
  if (::WaitForSingleObject(thread.get(), waitMs) != WAIT_OBJECT_0) return FinishedWork();
  return callersReference;
}

}  // namespace ipc
