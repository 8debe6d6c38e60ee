#include "ipc/named_objects.h"

#include <string>

#include "ipc/names.h"

namespace ipc {

namespace {

class OpenToAll {
 public:
  OpenToAll() {
    ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE);
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  SECURITY_ATTRIBUTES* get() { return &attributes_; }

 private:
  SECURITY_DESCRIPTOR descriptor_ = {};
  SECURITY_ATTRIBUTES attributes_ = {};
};

template <class Make>
win::UniqueKernelHandle PrefixThenPlain(std::string_view name, Make make) {
  win::UniqueKernelHandle handle(make(WidenBytes(WithNamespacePrefix(name))));
  if (!handle) handle.reset(make(WidenBytes(name)));
  return handle;
}

}  // namespace

win::UniqueKernelHandle CreateNamedMutex(std::string_view name) {
  OpenToAll security;
  return PrefixThenPlain(name, [&](const std::wstring& n) {
    return ::CreateMutexW(security.get(), FALSE, n.c_str());
  });
}

win::UniqueKernelHandle CreateNamedEvent(std::string_view name) {
  OpenToAll security;
  return PrefixThenPlain(name, [&](const std::wstring& n) {
    return ::CreateEventW(security.get(), FALSE, FALSE, n.c_str());
  });
}

win::UniqueKernelHandle CreateNamedMap(std::string_view name, uint32_t size, bool* alreadyExisted) {
  OpenToAll security;
  bool existed = false;
  win::UniqueKernelHandle map = PrefixThenPlain(name, [&](const std::wstring& n) {
    HANDLE h = ::CreateFileMappingW(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE, 0, size,
                                    n.c_str());
    existed = h && ::GetLastError() == ERROR_ALREADY_EXISTS;
    return h;
  });
  if (alreadyExisted) *alreadyExisted = existed;
  return map;
}

win::UniqueKernelHandle OpenNamedMap(std::string_view name, DWORD access) {
  return PrefixThenPlain(
      name, [&](const std::wstring& n) { return ::OpenFileMappingW(access, FALSE, n.c_str()); });
}

win::UniqueKernelHandle OpenNamedMutex(std::string_view name, DWORD access) {
  return PrefixThenPlain(
      name, [&](const std::wstring& n) { return ::OpenMutexW(access, FALSE, n.c_str()); });
}

}  // namespace ipc
