#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Registry access of every task. Each call opens and closes its own key; under WOW64
// (apptools2::Is64BitWindows) every open, create and delete addresses the 64-bit view.
namespace REG {

// False also when the key exists but cannot be opened for reading.
bool RegistryKeyExists(HKEY root, std::wstring_view subKey);
bool RegistryValueExists(HKEY root, std::wstring_view subKey, std::wstring_view valueName);
// The value's data as text (see RegistryTextFromData); empty when it cannot be read.
std::wstring RegistryReadText(HKEY root, std::wstring_view subKey, std::wstring_view valueName);

// Writers create the missing keys on the path. An empty text is stored with no bytes at all.
bool RegistryWriteValue(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                        DWORD type, const void* data, DWORD byteCount);
bool RegistryWriteString(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                         std::wstring_view text);
bool RegistryWriteExpandString(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                               std::wstring_view text);
bool RegistryWriteDword(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                        DWORD value);

bool RegistryDeleteValue(HKEY root, std::wstring_view subKey, std::wstring_view valueName);
// Deletes the key with every subkey; true when it is gone afterwards (also when it never was).
bool RegistryDeleteKeyTree(HKEY root, std::wstring_view subKey);

}  // namespace REG
