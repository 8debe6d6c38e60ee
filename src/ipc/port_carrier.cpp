#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "ipc/bounded_work.h"
#include "ipc/carriers.h"
#include "ipc/names.h"
#include "ipc/process_user.h"
#include "ipc/records.h"
#include "ipc/usable_view.h"
#include "ipc/waits.h"
#include "win/critical_section.h"
#include "win/entry_points.h"

namespace ipc {

namespace {

constexpr LONG kStatusSuccessLimit = 0;  // NT_SUCCESS: any status >= 0

// The per-process message counter, kept mapped for the life of the process.
class CounterMap {
 public:
  ~CounterMap() {
    view_.reset();
    map_.reset();
  }

  uint32_t Next() {
    volatile LONG* value = Value();
    return value ? static_cast<uint32_t>(::InterlockedExchangeAdd(value, 1)) : 0;
  }

 private:
  volatile LONG* Value() {
    const win::SectionLock hold(lock_);
    if (!view_) {
      const std::string name = CounterMapName(::GetCurrentProcessId());
      map_.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(LONG), name.c_str()));
      // A map of that name made before ours is someone else's, made as they chose: no counter.
      if (map_ && ::GetLastError() == ERROR_ALREADY_EXISTS) map_.reset();
      if (map_) view_.reset(::MapViewOfFile(map_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
      if (!ViewIsUsable(view_.get(), sizeof(LONG), true)) {
        view_.reset();
        map_.reset();
        return nullptr;
      }
      *static_cast<volatile LONG*>(view_.get()) = 0;
    }
    return static_cast<volatile LONG*>(view_.get());
  }

  win::CriticalSection lock_;
  win::UniqueKernelHandle map_;
  win::UniqueMappedView view_;
};

CounterMap counterMap;

// One connect call and everything it touches, kept alive for a call that returns late.
struct PendingConnect : BoundedWork {
  win::NtConnectPortFn connect = nullptr;
  std::wstring portName;
  win::NtUnicodeString name = {};
  win::SecurityQos qos = {};
  bool inSection = false;
  win::UniqueKernelHandle section;
  win::PortView clientView = {};
  win::RemotePortView serverView = {};
  ConnectionInfo info;
  ULONG infoLength = kConnectionInfoSize;
  HANDLE port = nullptr;

  void Work() override {
    // The connection request itself carries the message; nothing is sent over the port.
    const LONG status =
        connect(&port, &name, &qos, inSection ? &clientView : nullptr,
                inSection ? &serverView : nullptr, nullptr, info.bytes.data(), &infoLength);
    // Closed here also when the sender has stopped waiting: a late port leads nowhere.
    if (status >= kStatusSuccessLimit && port) ::CloseHandle(port);
    section.reset();
  }
};

}  // namespace

bool SendByPort(std::string_view channel, const void* message, uint32_t messageLen,
                uint32_t answerLen, TIpcAnswer& answer, win::UniqueKernelHandle& receiverProcess) {
  std::unique_ptr<PendingConnect> call(new PendingConnect);
  const uint32_t counter = counterMap.Next();
  call->info.setCounter(counter);
  if (!answer.SetUp(AnswerBaseName(channel, counter, ::GetCurrentProcessId()), answerLen)) {
    return false;
  }

  call->portName = WidenBytes(PortName(channel));
  // The counted string holds byte lengths in 16 bits.
  if (call->portName.size() * sizeof(wchar_t) + sizeof(wchar_t) > 0xFFFF) return false;

  call->info.setMessageLen(messageLen);
  call->info.setSessionId(OwnSessionId());
  call->info.setAnswerLen(answerLen);

  call->inSection = messageLen > kInlineLimit;
  if (!call->inSection) {
    call->info.setInlineData(message, messageLen);
  } else {
    call->section.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             messageLen, nullptr));
    if (call->section) {
      win::UniqueMappedView view(
          ::MapViewOfFile(call->section.get(), FILE_MAP_WRITE, 0, 0, messageLen));
      if (view) std::memcpy(view.get(), message, messageLen);
    }
    call->clientView.Length = sizeof(call->clientView);
    call->clientView.SectionHandle = call->section.get();
    call->clientView.ViewSize = messageLen;
    call->serverView.Length = sizeof(call->serverView);
    call->serverView.ViewSize = messageLen;
  }

  call->connect = win::Entries().ntConnectPort;
  if (!call->connect) return false;
  call->name = {static_cast<USHORT>(call->portName.size() * sizeof(wchar_t)),
                static_cast<USHORT>((call->portName.size() + 1) * sizeof(wchar_t)),
                &call->portName[0]};
  const FinishedWork connected = RunWithin(std::move(call), kHandOverWaitMs);
  if (!connected) return false;
  // The receiver's process id is the only sign of a hand-over; the status may be a refusal.
  const uint32_t receiverId = connected.As<PendingConnect>().info.receiverProcessId();
  if (receiverId == 0) return false;
  if (answerLen != 0) receiverProcess.reset(::OpenProcess(SYNCHRONIZE, FALSE, receiverId));
  return true;
}

}  // namespace ipc
