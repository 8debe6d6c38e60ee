#include "system/REG.h"

#include <cstdint>
#include <vector>

#include "env/apptools2.h"
#include "system/registry_text.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace REG {

namespace {

// Under WOW64 the 64-bit view, as the environment found at start-up.
REGSAM ReadMask() {
  return apptools2::Is64BitWindows ? KEY_READ | KEY_WOW64_64KEY : KEY_READ;  // 0x20119
}
REGSAM WriteMask() {
  return apptools2::Is64BitWindows ? KEY_ALL_ACCESS | KEY_WOW64_64KEY : KEY_ALL_ACCESS;  // 0xF013F
}

win::UniqueRegKey Open(HKEY root, std::wstring_view subKey, REGSAM mask) {
  win::UniqueRegKey key;
  ::RegOpenKeyExW(root, std::wstring(subKey).c_str(), 0, mask, key.put());
  return key;
}

// RegDeleteKeyW carries no view flag, and under WOW64 Windows may send even a handle-relative
// delete to the 32-bit view; so the delete that names the view is used wherever it exists.
void DeleteKey(HKEY parent, const std::wstring& name) {
  if (const auto deleteKeyEx = win::Entries().regDeleteKeyEx) {
    deleteKeyEx(parent, name.c_str(), WriteMask(), 0);
  } else {
    ::RegDeleteKeyW(parent, name.c_str());
  }
}

// Depth first from the last subkey down, so the indexes of the ones still to come stay valid.
void DeleteKeyAndSubkeys(HKEY parent, const std::wstring& name) {
  win::UniqueRegKey key;
  if (::RegOpenKeyExW(parent, name.c_str(), 0, WriteMask(), key.put()) == ERROR_SUCCESS) {
    DWORD count = 0;
    DWORD longest = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      std::vector<wchar_t> buffer(longest + 1);  // the longest name is counted without its NUL
      for (DWORD index = count; index-- > 0;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (::RegEnumKeyExW(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                            nullptr) == ERROR_SUCCESS) {
          DeleteKeyAndSubkeys(key.get(), std::wstring(buffer.data(), length));
        }
      }
    }
  }
  key.reset();
  DeleteKey(parent, name);
}

}  // namespace

bool RegistryKeyExists(HKEY root, std::wstring_view subKey) {
  return static_cast<bool>(Open(root, subKey, ReadMask()));
}

bool RegistryValueExists(HKEY root, std::wstring_view subKey, std::wstring_view valueName) {
  win::UniqueRegKey key = Open(root, subKey, ReadMask());
  return key && ::RegQueryValueExW(key.get(), std::wstring(valueName).c_str(), nullptr, nullptr,
                                   nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring RegistryReadText(HKEY root, std::wstring_view subKey, std::wstring_view valueName) {
  win::UniqueRegKey key = Open(root, subKey, ReadMask());
  if (!key) return std::wstring();
  const std::wstring name(valueName);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0) {
    return std::wstring();
  }
  std::vector<std::uint8_t> data(size);
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(), &size) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  // The size read back may be smaller than the one asked for; it is what holds data.
  const std::u16string text = RegistryTextFromData(type, data.data(), size);
  return std::wstring(text.begin(), text.end());
}

bool RegistryWriteValue(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                        DWORD type, const void* data, DWORD byteCount) {
  const std::wstring path(subKey);
  win::UniqueRegKey key;
  ::RegOpenKeyExW(root, path.c_str(), 0, WriteMask(), key.put());
  if (!key && (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 WriteMask(), nullptr, key.put(), nullptr) != ERROR_SUCCESS ||
               !key)) {
    return false;
  }
  return ::RegSetValueExW(key.get(), std::wstring(valueName).c_str(), 0, type,
                          static_cast<const BYTE*>(data), byteCount) == ERROR_SUCCESS;
}

namespace {

bool WriteText(HKEY root, std::wstring_view subKey, std::wstring_view valueName, DWORD type,
               std::wstring_view text) {
  if (text.empty()) return RegistryWriteValue(root, subKey, valueName, type, nullptr, 0);
  const std::wstring data(text);  // with its terminating NUL
  return RegistryWriteValue(root, subKey, valueName, type, data.c_str(),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

bool RegistryWriteString(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                         std::wstring_view text) {
  return WriteText(root, subKey, valueName, REG_SZ, text);
}

bool RegistryWriteExpandString(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                               std::wstring_view text) {
  return WriteText(root, subKey, valueName, REG_EXPAND_SZ, text);
}

bool RegistryWriteDword(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                        DWORD value) {
  return RegistryWriteValue(root, subKey, valueName, REG_DWORD, &value, sizeof(value));
}

bool RegistryDeleteValue(HKEY root, std::wstring_view subKey, std::wstring_view valueName) {
  win::UniqueRegKey key = Open(root, subKey, WriteMask());
  return key && ::RegDeleteValueW(key.get(), std::wstring(valueName).c_str()) == ERROR_SUCCESS;
}

bool RegistryDeleteKeyTree(HKEY root, std::wstring_view subKey) {
  while (!subKey.empty() && subKey.back() == L'\\') subKey.remove_suffix(1);
  // An empty path would name the root itself and empty it.
  if (subKey.empty()) return false;

  // Without RegDeleteKeyExW a delete by full path from the root would reach the 32-bit view
  // under WOW64 and could remove a namesake there; from its parent opened in our view it cannot.
  const size_t slash = subKey.find_last_of(L'\\');
  const std::wstring leaf(slash == std::wstring_view::npos ? subKey : subKey.substr(slash + 1));
  if (slash == std::wstring_view::npos) {
    DeleteKeyAndSubkeys(root, leaf);
  } else if (win::UniqueRegKey parent = Open(root, subKey.substr(0, slash), ReadMask())) {
    DeleteKeyAndSubkeys(parent.get(), leaf);
  }

  bool gone = !RegistryKeyExists(root, subKey);
  const auto deleteKeyEx = win::Entries().regDeleteKeyEx;
  if (!gone && deleteKeyEx) {
    gone = deleteKeyEx(root, std::wstring(subKey).c_str(), WriteMask(), 0) == ERROR_SUCCESS;
  }
  if (!gone) gone = !RegistryKeyExists(root, subKey);
  return gone;
}

}  // namespace REG
