#include "ipc/IPCClient.h"

#include <windows.h>

#include "env/apptools2.h"
#include "ipc/deliver.h"
#include "ipc/names.h"
#include "ipc/records.h"

namespace IPCClient {

std::string GuardChannelName(std::wstring_view userName) {
  return "TW6_GuardChannel_" + ipc::NarrowUserName(userName);
}

bool NotifyGuard() {
  const std::string channel = GuardChannelName(apptools2::GetCurrentUserName());
  uint8_t message[4];
  ipc::PutU32(message, GuardMessageCode);
  return ipc::DeliverIpcMessage(channel, message, sizeof(message), nullptr, 0, INFINITE, true);
}

}  // namespace IPCClient
