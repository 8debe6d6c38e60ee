#include "ipc/bounded_work.h"

#include "win/unique_handle.h"

namespace ipc {

namespace {

constexpr DWORD kWorkEnded = 0;
constexpr DWORD kWorkThrew = 1;

constexpr LONG kWaitedFor = 0;
constexpr LONG kCommitted = 1;
constexpr LONG kGivenUp = 2;

DWORD WINAPI WorkOnThread(void* parameter) {
  auto* work = static_cast<BoundedWork*>(parameter);
  DWORD result = kWorkEnded;
  // Nothing may escape a thread: it would end the process in std::terminate and the runtime's
  // error box.
  try {
    work->Work();
  } catch (...) {
    result = kWorkThrew;
  }
  FinishedWork threadsReference(work);
  return result;
}

}  // namespace

bool BoundedWork::Commit() {
  return ::InterlockedCompareExchange(&state_, kCommitted, kWaitedFor) != kGivenUp;
}

void BoundedWork::GiveUp() { ::InterlockedCompareExchange(&state_, kGivenUp, kWaitedFor); }

void BoundedWork::Release() {
  if (::InterlockedDecrement(&references_) == 0) delete this;
}

FinishedWork RunWithin(std::unique_ptr<BoundedWork> work, DWORD waitMs) {
  DWORD threadId = 0;
  const win::UniqueKernelHandle thread(
      ::CreateThread(nullptr, 0, WorkOnThread, work.get(), 0, &threadId));
  if (!thread) return FinishedWork();
  BoundedWork* const shared = work.release();
  FinishedWork callersReference(shared);
  if (::WaitForSingleObject(thread.get(), waitMs) != WAIT_OBJECT_0) {
    shared->GiveUp();
    return FinishedWork();
  }
  DWORD result = kWorkThrew;
  if (!::GetExitCodeThread(thread.get(), &result) || result != kWorkEnded) return FinishedWork();
  return callersReference;
}

}  // namespace ipc
