#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "win/unique_handle.h"

namespace ipc {

// The receiver's way to the sender's objects: NamespacePrefix, then the sender's session,
// then the plain name.
win::UniqueKernelHandle OpenSendersMap(std::string_view name, uint32_t sessionId, DWORD access);
win::UniqueKernelHandle OpenSendersEvent(std::string_view name, uint32_t sessionId, DWORD access);

}  // namespace ipc
