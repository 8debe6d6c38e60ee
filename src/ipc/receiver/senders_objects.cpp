#include "ipc/receiver/senders_objects.h"

#include <string>

#include "ipc/names.h"

namespace ipc {

namespace {

template <class Make>
win::UniqueKernelHandle PrefixSessionThenPlain(std::string_view name, uint32_t sessionId,
                                               Make make) {
  win::UniqueKernelHandle handle(make(WidenBytes(WithNamespacePrefix(name))));
  if (!handle) handle.reset(make(WidenBytes(InSession(sessionId, name))));
  if (!handle) handle.reset(make(WidenBytes(name)));
  return handle;
}

}  // namespace

win::UniqueKernelHandle OpenSendersMap(std::string_view name, uint32_t sessionId, DWORD access) {
  return PrefixSessionThenPlain(name, sessionId, [&](const std::wstring& n) {
    return ::OpenFileMappingW(access, FALSE, n.c_str());
  });
}

win::UniqueKernelHandle OpenSendersEvent(std::string_view name, uint32_t sessionId, DWORD access) {
  return PrefixSessionThenPlain(name, sessionId, [&](const std::wstring& n) {
    return ::OpenEventW(access, FALSE, n.c_str());
  });
}

}  // namespace ipc
