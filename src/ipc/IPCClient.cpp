#include "ipc/IPCClient.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "ipc/deliver.h"
#include "ipc/names.h"
#include "ipc/process_user.h"
#include "ipc/records.h"
#include "process/debug_privilege.h"
#include "process/process_table.h"
#include "win/unique_handle.h"

namespace IPCClient {

namespace {

struct ListedGuard {
  uint32_t id;
  uint64_t createTime;
};

bool IsGuardImage(std::string_view name) {
  constexpr std::string_view kGuard = "tw6guard.exe";
  if (name.size() != kGuard.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    if (c != kGuard[i]) return false;
  }
  return true;
}

// The processes that the table itself lists as the guard: by the table's own name for each,
// never by one read from a process's memory, which the process can write.
std::vector<ListedGuard> ListedGuards() {
  std::vector<ListedGuard> guards;
  bool guard = false;
  process::EnumerateProcessTable(
      [&](std::string_view tableName) {
        guard = IsGuardImage(tableName);
        return false;
      },
      [&](const process::ProcessTableEntry& entry) {
        if (guard) guards.push_back({entry.id, entry.createTime});
        guard = false;
      });
  return guards;
}

// Listed as the guard, and the very process listed: an id may have been given to another since.
bool IsListedGuard(HANDLE process, uint32_t processId) {
  for (const ListedGuard& listed : ListedGuards()) {
    if (listed.id == processId) return process::IsListedProcess(process, listed.createTime);
  }
  return false;
}

bool Send(const std::string& channel) {
  uint8_t message[4];
  ipc::PutU32(message, GuardMessageCode);
  return ipc::DeliverIpcMessage(channel, message, sizeof(message), nullptr, 0, INFINITE, true,
                                IsGuardOfChannel);
}

// Run as LocalSystem (a deferred action of an installation), the program's own channel is one
// that no guard owns: each other user who runs a guard is told on that user's channel, once.
std::vector<std::string> OtherGuardChannels(const std::string& own) {
  std::vector<std::string> channels;
  const std::vector<ListedGuard> guards = ListedGuards();
  if (guards.empty()) return channels;
  // Processes of other users and sessions grant their query right to their creators only. The
  // privilege stays for these lookups alone: the sends run as the token was.
  const process::DebugPrivilegeScope debug;
  for (const ListedGuard& listed : guards) {
    const win::UniqueKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, listed.id));
    if (!process || !process::IsListedProcess(process.get(), listed.createTime)) continue;
    const std::wstring user = ipc::UserNameOf(process.get());
    if (user.empty()) continue;
    std::string channel = GuardChannelName(user);
    if (channel != own && std::find(channels.begin(), channels.end(), channel) == channels.end()) {
      channels.push_back(std::move(channel));
    }
  }
  return channels;
}

}  // namespace

std::string GuardChannelName(std::wstring_view userName) {
  return "TW6_GuardChannel_" + ipc::NarrowUserName(userName);
}

bool NotifyGuard() {
  bool delivered = false;
  try {
    const std::string own = GuardChannelName(ipc::OwnUserName());
    delivered = Send(own);
    for (const std::string& channel : OtherGuardChannels(own)) {
      if (Send(channel)) delivered = true;
    }
  } catch (...) {  // out of memory for a name or a list: the sends not made are not made
  }
  return delivered;
}

bool IsGuardOfChannel(HANDLE process, uint32_t processId, std::string_view channel) {
  if (!IsListedGuard(process, processId)) return false;
  const std::wstring user = ipc::UserNameOf(process);
  return !user.empty() && GuardChannelName(user) == channel;
}

}  // namespace IPCClient
