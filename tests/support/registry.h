#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

// Registry checks straight through the API, each in an explicitly named view: KEY_WOW64_64KEY
// or KEY_WOW64_32KEY, or 0 for the only view of 32-bit Windows.
REGSAM NativeView();  // the 64-bit view under WOW64, else 0

struct RawValue {
  bool found = false;
  DWORD type = 0;
  std::vector<std::uint8_t> bytes;
};

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view);
RawValue ReadValue(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);
bool WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                const void* data, DWORD size, REGSAM view);
bool WriteText(HKEY root, const std::wstring& path, const std::wstring& name,
               const std::wstring& text, REGSAM view);
bool CreateKey(HKEY root, const std::wstring& path, REGSAM view);
void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);
// Removes the key and everything below it, in that view only.
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view);

std::vector<std::uint8_t> TextBytes(const std::wstring& text);  // with the terminating NUL

}  // namespace testenv
