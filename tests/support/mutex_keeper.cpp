#include "support/mutex_keeper.h"

#include <windows.h>

#include "ipc/named_objects.h"
#include "ipc/names.h"

namespace testenv {

QueueMutexKeeper::QueueMutexKeeper(const std::string& channel)
    : taken_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  keeper_ = std::thread([this, name = ipc::QueueMutexName(channel)] {
    const win::UniqueKernelHandle mutex = ipc::CreateNamedMutex(name);
    if (::WaitForSingleObject(mutex.get(), 10000) != WAIT_OBJECT_0) return;
    ::SetEvent(taken_.get());
    ::WaitForSingleObject(release_.get(), 120000);
    ::ReleaseMutex(mutex.get());
  });
  kept_ = ::WaitForSingleObject(taken_.get(), 10000) == WAIT_OBJECT_0;
}

void QueueMutexKeeper::Release() {
  if (!keeper_.joinable()) return;
  ::SetEvent(release_.get());
  keeper_.join();
}

}  // namespace testenv
