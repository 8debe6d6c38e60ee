#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The guard's side of the product as this program sees it: one message on its channel.
namespace IPCClient {

constexpr uint32_t GuardMessageCode = 995;

// "TW6_GuardChannel_" + the user name, narrowed to UTF-8 (ASCII names stay as they are).
std::string GuardChannelName(std::wstring_view userName);

// Hands 995 to the guard of the current user without waiting for it to act; true when the
// message was handed over.
bool NotifyGuard();

}  // namespace IPCClient
