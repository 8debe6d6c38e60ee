#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// The guard's side of the product as this program sees it: one message on its channel.
namespace IPCClient {

constexpr uint32_t GuardMessageCode = 995;

// "TW6_GuardChannel_" + the user name, narrowed to UTF-8 (ASCII names stay as they are).
std::string GuardChannelName(std::wstring_view userName);

// Hands 995 to the guard of the current user and to that of each other user who runs one,
// without waiting for them to act; true when any message was handed over.
bool NotifyGuard();

// The pipe carrier's test of a channel's owner: listed as TW6Guard.exe in the process table,
// the very process listed, running as the user whose name the channel carries.
bool IsGuardOfChannel(HANDLE process, uint32_t processId, std::string_view channel);

}  // namespace IPCClient
