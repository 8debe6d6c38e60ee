#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ipc/receiver/receiver.h"
#include "ipc/records.h"
#include "support/scoped_seams.h"
#include "win/entry_points.h"
#include "win/nt_port.h"
#include "win/unique_handle.h"

namespace testenv {

constexpr LONG kStatusObjectNameNotFound = static_cast<LONG>(0xC0000034);
constexpr LONG kStatusPortConnectionRefused = static_cast<LONG>(0xC0000041);

// What one call of the native port-connect service was given.
struct PortConnect {
  std::wstring portName;
  USHORT nameLength = 0;
  USHORT nameMaximumLength = 0;
  bool qosAllZero = false;
  bool maxMessageLengthGiven = false;
  ULONG infoLength = 0;
  bool clientViewGiven = false;
  win::PortView clientView = {};
  bool serverViewGiven = false;
  win::RemotePortView serverView = {};
  ipc::ConnectionInfo info;      // as it came, before the stand-in wrote its process id
  std::vector<uint8_t> message;  // from the data area or from the client's section
  uint64_t sectionSize = 0;      // as the system reports it: whole pages
  HANDLE portHandle = nullptr;   // handed back on success: the write end of a pipe
};

// Wine has no LPC ports: this stand-in takes the native port-connect entry's place and plays the
// receiver's side. For a port it knows it reads the connection information (or the client's
// section), writes the configured process id back and returns the configured status; answers
// are served on a thread of their own, as a receiver would. Unknown ports: "name not found".
// A port that holds its calls keeps each connect call from returning until ReleaseHeldCalls,
// as a hung receiver would; the destructor releases them and waits for them to return.
class PortStandIn {
 public:
  struct Port {
    DWORD receiverProcessId = ::GetCurrentProcessId();
    LONG status = 0;
    ipc::TIpcCallback handler;  // may be empty
    bool holdsCalls = false;
  };

  PortStandIn();
  ~PortStandIn();
  PortStandIn(const PortStandIn&) = delete;
  PortStandIn& operator=(const PortStandIn&) = delete;

  void Open(const std::string& channel, Port port);
  std::vector<PortConnect> Connects();
  void ReleaseHeldCalls();
  // Whether the caller has closed the port handle that call number `call` handed back.
  bool PortClosed(size_t call);
  // Waits (at most timeoutMs) until every connect call that entered has returned.
  bool AllCallsReturned(DWORD timeoutMs);

 private:
  static LONG NTAPI Connect(PHANDLE port, win::NtUnicodeString* name, win::SecurityQos* qos,
                            win::PortView* clientView, win::RemotePortView* serverView,
                            PULONG maxMessageLength, PVOID connectionInfo,
                            PULONG connectionInfoLength);

  ScopedSeams<win::EntryPoints> entries_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool released_ = false;
  int callsInProgress_ = 0;
  std::map<std::wstring, std::pair<std::string, Port>> ports_;
  std::vector<PortConnect> connects_;
  std::map<size_t, win::UniqueFileHandle> portReadEnds_;  // by call number
  std::vector<std::thread> servers_;
};

}  // namespace testenv
