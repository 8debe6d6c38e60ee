#include "support/port_stand_in.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "ipc/names.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace testenv {

namespace {

PortStandIn* active = nullptr;

uint64_t SectionSize(HANDLE section) {
  struct SectionBasicInformation {
    PVOID base;
    ULONG attributes;
    LARGE_INTEGER size;
  } info = {};
  using Fn = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  const Fn query = win::FindEntry<Fn>(L"ntdll", "NtQuerySection");
  if (!query || query(section, 0, &info, sizeof(info), nullptr) < 0) return 0;
  return static_cast<uint64_t>(info.size.QuadPart);
}

}  // namespace

PortStandIn::PortStandIn() : entries_(win::Entries()) {
  active = this;
  entries_->ntConnectPort = &PortStandIn::Connect;
}

// A send reads the entry before its connect thread starts: once the test's sends have returned,
// no call comes in after the entry is put back.
PortStandIn::~PortStandIn() {
  ReleaseHeldCalls();
  // A released call still writes through this object; it must not outlive it.
  if (!AllCallsReturned(60000)) std::abort();
  active = nullptr;
  for (std::thread& server : servers_) server.join();
}

void PortStandIn::Open(const std::string& channel, Port port) {
  std::lock_guard<std::mutex> hold(lock_);
  ports_[ipc::WidenBytes(ipc::PortName(channel))] = {channel, std::move(port)};
}

std::vector<PortConnect> PortStandIn::Connects() {
  std::lock_guard<std::mutex> hold(lock_);
  return connects_;
}

void PortStandIn::ReleaseHeldCalls() {
  std::lock_guard<std::mutex> hold(lock_);
  released_ = true;
  changed_.notify_all();
}

bool PortStandIn::PortClosed(size_t call) {
  std::lock_guard<std::mutex> hold(lock_);
  const auto found = portReadEnds_.find(call);
  if (found == portReadEnds_.end()) return false;
  DWORD available = 0;
  // The pipe breaks once its write end, the handed-out port, is closed.
  return !::PeekNamedPipe(found->second.get(), nullptr, 0, nullptr, &available, nullptr) &&
         ::GetLastError() == ERROR_BROKEN_PIPE;
}

bool PortStandIn::AllCallsReturned(DWORD timeoutMs) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                           [this] { return callsInProgress_ == 0; });
}

LONG NTAPI PortStandIn::Connect(PHANDLE port, win::NtUnicodeString* name, win::SecurityQos* qos,
                                win::PortView* clientView, win::RemotePortView* serverView,
                                PULONG maxMessageLength, PVOID connectionInfo,
                                PULONG connectionInfoLength) {
  PortStandIn& self = *active;
  PortConnect call;
  call.portName.assign(name->Buffer, name->Length / sizeof(wchar_t));
  call.nameLength = name->Length;
  call.nameMaximumLength = name->MaximumLength;
  static const win::SecurityQos zero = {};
  call.qosAllZero = qos && std::memcmp(qos, &zero, sizeof(zero)) == 0;
  call.maxMessageLengthGiven = maxMessageLength != nullptr;
  call.infoLength = connectionInfoLength ? *connectionInfoLength : 0;
  call.clientViewGiven = clientView != nullptr;
  if (clientView) call.clientView = *clientView;
  call.serverViewGiven = serverView != nullptr;
  if (serverView) call.serverView = *serverView;
  std::memcpy(call.info.bytes.data(), connectionInfo, ipc::kConnectionInfoSize);

  const uint32_t length = call.info.messageLen();
  if (length <= ipc::kInlineLimit) {
    call.message.assign(call.info.data(), call.info.data() + length);
  } else if (clientView && clientView->SectionHandle) {
    call.sectionSize = SectionSize(clientView->SectionHandle);
    win::UniqueMappedView view(
        ::MapViewOfFile(clientView->SectionHandle, FILE_MAP_READ, 0, 0, clientView->ViewSize));
    if (view) {
      const auto* bytes = static_cast<const uint8_t*>(view.get());
      call.message.assign(bytes, bytes + clientView->ViewSize);
    }
  }

  std::unique_lock<std::mutex> hold(self.lock_);
  ++self.callsInProgress_;
  struct Returning {
    PortStandIn& self;
    ~Returning() {
      --self.callsInProgress_;
      self.changed_.notify_all();
    }
  } returning{self};
  const size_t number = self.connects_.size();
  self.connects_.push_back(call);
  const auto found = self.ports_.find(call.portName);
  if (found == self.ports_.end()) return kStatusObjectNameNotFound;
  const std::string channel = found->second.first;
  const Port target = found->second.second;
  if (target.holdsCalls) self.changed_.wait(hold, [&self] { return self.released_; });
  ipc::ConnectionInfo reply = call.info;
  reply.setReceiverProcessId(target.receiverProcessId);
  std::memcpy(connectionInfo, reply.bytes.data(), ipc::kConnectionInfoSize);
  if (target.status >= 0) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
      self.portReadEnds_[number].reset(readEnd);
      self.connects_[number].portHandle = writeEnd;
      *port = writeEnd;
    }
  }
  if (target.handler) {
    const std::string base =
        ipc::AnswerBaseName(channel, call.info.counter(), ::GetCurrentProcessId());
    self.servers_.emplace_back([channel, base, call, target] {
      ipc::ServeMessage(channel, base, call.info.sessionId(), call.message.data(),
                        static_cast<uint32_t>(call.message.size()), call.info.answerLen(),
                        target.handler);
    });
  }
  return target.status;
}

}  // namespace testenv
