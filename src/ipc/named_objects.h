#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "win/unique_handle.h"

// Named kernel objects of the channel. Each is tried first under NamespacePrefix + name and
// then under the plain name; the ones created here carry a null DACL so any account may open
// them, and their handles are not inheritable.
namespace ipc {

win::UniqueKernelHandle CreateNamedMutex(std::string_view name);  // open-or-create, not owned
win::UniqueKernelHandle CreateNamedEvent(std::string_view name);  // auto-reset, not signalled
// Page-file-backed, read/write. alreadyExisted tells whether another owner made it first.
win::UniqueKernelHandle CreateNamedMap(std::string_view name, uint32_t size,
                                       bool* alreadyExisted = nullptr);
win::UniqueKernelHandle OpenNamedMap(std::string_view name, DWORD access);
win::UniqueKernelHandle OpenNamedMutex(std::string_view name, DWORD access);

}  // namespace ipc
