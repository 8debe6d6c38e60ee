#include <windows.h>

#include <cstring>
#include <string>

#include "ipc/carriers.h"
#include "ipc/names.h"
#include "ipc/records.h"
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
    win::CriticalSectionLock hold(lock_);
    if (!view_) {
      const std::string name = CounterMapName(::GetCurrentProcessId());
      map_.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(LONG), name.c_str()));
      if (map_) view_.reset(::MapViewOfFile(map_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
      if (!view_) {
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

}  // namespace

bool SendByPort(std::string_view channel, const void* message, uint32_t messageLen,
                uint32_t answerLen, TIpcAnswer& answer, win::UniqueKernelHandle& receiverProcess) {
  ConnectionInfo info;
  const uint32_t counter = counterMap.Next();
  info.setCounter(counter);
  if (!answer.SetUp(AnswerBaseName(channel, counter, ::GetCurrentProcessId()), answerLen)) {
    return false;
  }

  std::wstring portName = Widen(PortName(channel));
  // The counted string holds byte lengths in 16 bits.
  if (portName.size() * sizeof(wchar_t) + sizeof(wchar_t) > 0xFFFF) return false;

  info.setMessageLen(messageLen);
  info.setSessionId(OwnSessionId());
  info.setAnswerLen(answerLen);

  win::UniqueKernelHandle section;
  win::PortView clientView = {};
  win::RemotePortView serverView = {};
  const bool inSection = messageLen > kInlineLimit;
  if (!inSection) {
    info.setInlineData(message, messageLen);
  } else {
    section.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, messageLen,
                                       nullptr));
    if (section) {
      win::UniqueMappedView view(::MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, messageLen));
      if (view) std::memcpy(view.get(), message, messageLen);
    }
    clientView.Length = sizeof(clientView);
    clientView.SectionHandle = section.get();
    clientView.ViewSize = messageLen;
    serverView.Length = sizeof(serverView);
    serverView.ViewSize = messageLen;
  }

  win::NtConnectPortFn connect = win::Entries().ntConnectPort;
  if (connect) {
    win::NtUnicodeString name = {static_cast<USHORT>(portName.size() * sizeof(wchar_t)),
                                 static_cast<USHORT>((portName.size() + 1) * sizeof(wchar_t)),
                                 &portName[0]};
    win::SecurityQos qos = {};
    ULONG infoLength = kConnectionInfoSize;
    HANDLE port = nullptr;
    // The connection request itself carries the message; nothing is sent over the port.
    const LONG status =
        connect(&port, &name, &qos, inSection ? &clientView : nullptr,
                inSection ? &serverView : nullptr, nullptr, info.bytes.data(), &infoLength);
    if (status >= kStatusSuccessLimit && port) ::CloseHandle(port);
  }
  section.reset();

  // The receiver's process id is the only sign of a hand-over; the status may be a refusal.
  const uint32_t receiverId = info.receiverProcessId();
  if (receiverId == 0) return false;
  if (answerLen != 0) receiverProcess.reset(::OpenProcess(SYNCHRONIZE, FALSE, receiverId));
  return true;
}

uint32_t OwnSessionId() {
  const auto query = win::Entries().processIdToSessionId;
  DWORD session = 0;
  if (!query || !query(::GetCurrentProcessId(), &session)) return 0;
  return session;
}

}  // namespace ipc
