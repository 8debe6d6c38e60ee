#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ipc/bounded_work.h"
#include "ipc/carriers.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/process_user.h"
#include "ipc/records.h"
#include "ipc/usable_view.h"
#include "ipc/waits.h"
#include "win/number_text.h"

namespace ipc {

namespace {

bool WriteWhole(HANDLE pipe, const void* bytes, uint32_t length) {
  DWORD written = 0;
  return ::WriteFile(pipe, bytes, length, &written, nullptr) && written == length;
}

// Releases the queue mutex before its handle closes.
class HeldMutex {
 public:
  explicit HeldMutex(HANDLE mutex) : mutex_(mutex) {}
  ~HeldMutex() {
    const DWORD saved = ::GetLastError();
    ::ReleaseMutex(mutex_);
    ::SetLastError(saved);
  }
  HeldMutex(const HeldMutex&) = delete;
  HeldMutex& operator=(const HeldMutex&) = delete;

 private:
  HANDLE mutex_;
};

// One send with copies of what it is given and every name built before its first wait: the
// caller may stop waiting, the mutex must be released by the thread that took it, and a late
// thread may run while the runtime destroys its statics at exit.
struct PendingSend : BoundedWork {
  std::string channel;
  std::string mutexName;
  std::string mapName;
  std::string answerPrefix;
  std::vector<uint8_t> message;
  uint32_t answerLen = 0;
  ReceiverCheck receiver = nullptr;
  TIpcAnswer answer;
  win::UniqueKernelHandle receiverProcess;
  bool delivered = false;

  void Work() override { delivered = HandOver(); }

  bool HandOver() {
    const win::UniqueKernelHandle mutex = CreateNamedMutex(mutexName);
    if (!mutex) return false;
    // Abandoned or not, the mutex is ours now; the header is read either way.
    const DWORD woken = ::WaitForSingleObject(mutex.get(), INFINITE);
    if (woken != WAIT_OBJECT_0 && woken != WAIT_ABANDONED) return false;
    const HeldMutex held(mutex.get());
    // A send given up at the bound stays given up: the header it would read now may be stale.
    if (!Commit()) return false;

    uint8_t header[kQueueHeaderSize];
    {
      const win::UniqueKernelHandle map = OpenNamedMap(mapName, FILE_MAP_ALL_ACCESS);
      if (!map) return false;
      // Only the header's length is mapped: a smaller map from a faulty owner fails here.
      const win::UniqueMappedView view(
          ::MapViewOfFile(map.get(), FILE_MAP_ALL_ACCESS, 0, 0, kQueueHeaderSize));
      if (!ViewIsUsable(view.get(), kQueueHeaderSize, true)) return false;
      const ViewTouch touch = HowToTouch(map.get());
      auto* shared = static_cast<uint8_t*>(view.get());
      if (!CopyFromView(touch, shared, header, kQueueHeaderSize)) return false;

      QueueHeader::SetCounter(header, QueueHeader::Counter(header) + 1);
      if (!CopyToView(touch, shared + QueueHeader::kCounter, header + QueueHeader::kCounter, 4)) {
        return false;
      }
    }

    const uint32_t counter = QueueHeader::Counter(header);
    if (!answer.SetUp(answerPrefix + win::NumberText(counter), answerLen)) return false;

    // Any process of the session may make the queue map first and name any handle of any
    // process: this elevated sender writes only into a pipe of the receiver it means.
    receiverProcess.reset(
        ::OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE,
                      QueueHeader::OwnerProcessId(header)));
    if (!receiverProcess) return false;
    if (receiver ? !receiver(receiverProcess.get(), QueueHeader::OwnerProcessId(header), channel)
                 : !RunsAsOwnUser(receiverProcess.get())) {
      return false;
    }

    HANDLE duplicate = nullptr;
    const auto pipeInReceiver =
        reinterpret_cast<HANDLE>(static_cast<uintptr_t>(QueueHeader::PipeHandle(header)));
    if (!::DuplicateHandle(receiverProcess.get(), pipeInReceiver, ::GetCurrentProcess(), &duplicate,
                           0, FALSE, DUPLICATE_SAME_ACCESS)) {
      return false;
    }
    const win::UniqueKernelHandle pipe(duplicate);
    // Files fail this, and so do sockets, which GetFileType calls pipes.
    DWORD pipeFlags = 0;
    if (!::GetNamedPipeInfo(pipe.get(), &pipeFlags, nullptr, nullptr, nullptr)) return false;

    FrameHeader frame;
    frame.messageLen = static_cast<uint32_t>(message.size());
    frame.counter = counter;
    frame.sessionId = OwnSessionId();
    frame.answerLen = answerLen;
    const auto packed = frame.Pack();
    // Five writes, the message last; an empty message adds no bytes, so it needs no write.
    return WriteWhole(pipe.get(), &packed[0], 4) && WriteWhole(pipe.get(), &packed[4], 4) &&
           WriteWhole(pipe.get(), &packed[8], 4) && WriteWhole(pipe.get(), &packed[12], 4) &&
           (message.empty() ||
            WriteWhole(pipe.get(), message.data(), static_cast<uint32_t>(message.size())));
  }
};

}  // namespace

bool SendByPipe(std::string_view channel, const void* message, uint32_t messageLen,
                uint32_t answerLen, TIpcAnswer& answer, win::UniqueKernelHandle& receiverProcess,
                ReceiverCheck receiver) {
  std::unique_ptr<PendingSend> send(new PendingSend);
  send->channel.assign(channel.data(), channel.size());
  send->receiver = receiver;
  send->mutexName = QueueMutexName(channel);
  send->mapName = QueueMapName(channel);
  send->answerPrefix = AnswerBasePrefix(channel);
  const auto* bytes = static_cast<const uint8_t*>(message);
  send->message.assign(bytes, bytes + messageLen);
  send->answerLen = answerLen;
  const FinishedWork sent = RunWithin(std::move(send), kHandOverWaitMs);
  if (!sent) return false;
  PendingSend& done = sent.As<PendingSend>();
  answer = std::move(done.answer);
  receiverProcess = std::move(done.receiverProcess);
  return done.delivered;
}

}  // namespace ipc
