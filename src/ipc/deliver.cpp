#include "ipc/deliver.h"

#include <windows.h>

#include "env/apptools2.h"
#include "ipc/carriers.h"
#include "ipc/waits.h"
#include "win/entry_points.h"

namespace ipc {

namespace {

thread_local int sendsInProgress = 0;

class InProgress {
 public:
  InProgress() { ++sendsInProgress; }
  ~InProgress() { --sendsInProgress; }
  InProgress(const InProgress&) = delete;
  InProgress& operator=(const InProgress&) = delete;
};

}  // namespace

bool NativeSystemIsX64() {
  const auto query = win::Entries().getNativeSystemInfo;
  SYSTEM_INFO info = {};
  if (query) query(&info);
  return query && info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;  // 9
}

// The 9x family reports major version 4, so 6 and later is NT from Vista on.
Carrier ChosenCarrier() {
  return apptools2::WindowsMajorVersion() >= 6 || NativeSystemIsX64() ? Carrier::Port
                                                                      : Carrier::Pipe;
}

bool DeliverBy(Carrier carrier, std::string_view name, const void* messageBuf, uint32_t messageLen,
               void* answerBuf, uint32_t answerLen, uint32_t answerTimeoutMs, bool pumpMessages,
               ReceiverCheck receiver) {
  if (answerLen != 0 && !answerBuf) return false;
  TIpcAnswer answer;
  win::UniqueKernelHandle receiverProcess;
  bool delivered =
      carrier == Carrier::Port
          ? SendByPort(name, messageBuf, messageLen, answerLen, answer, receiverProcess)
          : SendByPipe(name, messageBuf, messageLen, answerLen, answer, receiverProcess, receiver);
  if (delivered && answerLen != 0) {
    // Without the receiver's process the wait watches the events alone and would not see the
    // receiver end: it must end by itself.
    const DWORD timeoutMs = receiverProcess || answerTimeoutMs < kUnwatchedAnswerWaitMs
                                ? answerTimeoutMs
                                : kUnwatchedAnswerWaitMs;
    delivered = AwaitAnswer(answer, receiverProcess.get(), answerBuf, timeoutMs, pumpMessages);
  }
  receiverProcess.reset();
  answer.Release();
  return delivered;
}

bool DeliverIpcMessage(std::string_view name, const void* messageBuf, uint32_t messageLen,
                       void* answerBuf, uint32_t answerLen, uint32_t answerTimeoutMs,
                       bool pumpMessages, ReceiverCheck receiver) {
  // Read first: even the thread-local count may touch the last-error value (TlsGetValue).
  const DWORD saved = ::GetLastError();
  if (sendsInProgress >= kMaxSendsInProgress) {
    ::SetLastError(saved);
    return false;
  }
  bool delivered = false;
  {
    const InProgress counted;
    try {
      delivered = DeliverBy(ChosenCarrier(), name, messageBuf, messageLen, answerBuf, answerLen,
                            answerTimeoutMs, pumpMessages, receiver);
    } catch (...) {  // out of memory for a name: a failed send, not an escaped error
      delivered = false;
    }
  }
  ::SetLastError(saved);
  return delivered;
}

}  // namespace ipc
