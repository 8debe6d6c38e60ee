#include "support/registry.h"

#include "support/family.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace testenv {

namespace {

using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

LONG DeleteKeyInView(HKEY parent, const std::wstring& name, REGSAM view) {
  static const auto deleteKeyEx = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"advapi32"), "RegDeleteKeyExW")));
  if (view != 0 && deleteKeyEx) return deleteKeyEx(parent, name.c_str(), view, 0);
  return ::RegDeleteKeyW(parent, name.c_str());
}

void DeleteChildren(HKEY key, REGSAM view) {
  wchar_t name[256];
  for (;;) {
    DWORD length = 256;
    if (::RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    win::UniqueRegKey child;
    if (::RegOpenKeyExW(key, name, 0, KEY_ALL_ACCESS | view, child.put()) == ERROR_SUCCESS) {
      DeleteChildren(child.get(), view);
    }
    child.reset();
    if (DeleteKeyInView(key, name, view) != ERROR_SUCCESS) return;
  }
}

}  // namespace

REGSAM NativeView() { return ThisFamily().view; }

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  win::UniqueRegKey key;
  return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

RawValue ReadValue(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  RawValue value;
  win::UniqueRegKey key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return value;
  }
  value.bytes.resize(size);
  value.found = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type,
                                   value.bytes.data(), &size) == ERROR_SUCCESS;
  value.bytes.resize(size);
  return value;
}

bool WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                const void* data, DWORD size, REGSAM view) {
  win::UniqueRegKey key;
  if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

bool WriteText(HKEY root, const std::wstring& path, const std::wstring& name,
               const std::wstring& text, REGSAM view) {
  return WriteValue(root, path, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

bool CreateKey(HKEY root, const std::wstring& path, REGSAM view) {
  win::UniqueRegKey key;
  return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                           key.put(), nullptr) == ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  win::UniqueRegKey key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key.get(), name.c_str());
  }
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  {
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS) {
      return;
    }
    DeleteChildren(key.get(), view);
  }
  DeleteKeyInView(root, path, view);
}

std::vector<std::uint8_t> TextBytes(const std::wstring& text) {
  const auto* begin = reinterpret_cast<const std::uint8_t*>(text.c_str());
  return std::vector<std::uint8_t>(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

}  // namespace testenv
