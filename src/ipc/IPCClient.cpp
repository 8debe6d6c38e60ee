#include "ipc/IPCClient.h"

#include <windows.h>

#include "ipc/deliver.h"
#include "ipc/names.h"
#include "ipc/process_user.h"
#include "ipc/records.h"
#include "process/debug_privilege.h"
#include "process/process_table.h"
#include "win/unique_handle.h"

namespace IPCClient {

namespace {

// At most this many other users' guards are told: one a logged-on user, each in a session.
constexpr int kMostOtherGuards = 8;

using OnGuard = void (*)(void* context, uint32_t processId, uint64_t createTime);

// The table's own name for a process decides, never one read from its memory, which the process
// can write: no path is read, and an entry whose name the table does not give is no guard.
void ForEachListedGuard(OnGuard onGuard, void* context) {
  bool guard = false;
  process::EnumerateProcessTable(
      [&](std::string_view tableName) {
        constexpr std::string_view kGuard = "tw6guard.exe";
        guard = tableName.size() == kGuard.size();
        // File names hold no control characters, the only other bytes that fold to these.
        for (size_t i = 0; guard && i < kGuard.size(); ++i) {
          guard = (tableName[i] | 0x20) == kGuard[i];
        }
        return false;
      },
      [&](const process::ProcessTableEntry& entry) {
        if (guard) onGuard(context, entry.id, entry.createTime);
        guard = false;
      });
}

struct ListedCheck {
  HANDLE process;
  uint32_t processId;
  bool listed;
};

// Listed as the guard, and the very process listed: an id may have been given to another since.
void CheckListed(void* context, uint32_t processId, uint64_t createTime) {
  auto& check = *static_cast<ListedCheck*>(context);
  if (processId == check.processId) {
    check.listed = process::IsListedProcess(check.process, createTime);
  }
}

struct OtherGuards {
  std::string own;
  std::string channels[kMostOtherGuards];
  int count = 0;
};

// Processes of other users and sessions grant their query right to their creators only: this
// runs under the debug privilege, the sends do not.
void AddGuardsChannel(void* context, uint32_t processId, uint64_t createTime) {
  auto& guards = *static_cast<OtherGuards*>(context);
  const win::UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (guards.count == kMostOtherGuards || !process ||
      !process::IsListedProcess(process.get(), createTime)) {
    return;
  }
  const std::wstring user = ipc::UserNameOf(process.get());
  if (user.empty()) return;
  std::string& channel = guards.channels[guards.count];
  channel = GuardChannelName(user);
  if (channel == guards.own) return;
  for (int i = 0; i < guards.count; ++i) {
    if (guards.channels[i] == channel) return;
  }
  ++guards.count;
}

bool Send(const std::string& channel) {
  uint8_t message[4];
  ipc::PutU32(message, GuardMessageCode);
  return ipc::DeliverIpcMessage(channel, message, sizeof(message), nullptr, 0, INFINITE, true,
                                IsGuardOfChannel);
}

}  // namespace

std::string GuardChannelName(std::wstring_view userName) {
  return "TW6_GuardChannel_" + ipc::NarrowUserName(userName);
}

// Run as LocalSystem (a deferred action of an installation), the program's own channel is one
// that no guard owns: each other user who runs a guard is told on that user's channel, once.
bool NotifyGuard() {
  OtherGuards guards;
  guards.own = GuardChannelName(ipc::OwnUserName());
  bool delivered = Send(guards.own);
  {
    const process::DebugPrivilegeScope debug;
    ForEachListedGuard(AddGuardsChannel, &guards);
  }
  for (int i = 0; i < guards.count; ++i) {
    if (Send(guards.channels[i])) delivered = true;
  }
  return delivered;
}

bool IsGuardOfChannel(HANDLE process, uint32_t processId, std::string_view channel) {
  ListedCheck check = {process, processId, false};
  ForEachListedGuard(CheckListed, &check);
  if (!check.listed) return false;
  const std::wstring user = ipc::UserNameOf(process);
  return !user.empty() && GuardChannelName(user) == channel;
}

}  // namespace IPCClient
