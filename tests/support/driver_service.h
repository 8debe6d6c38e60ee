#pragma once

#include <string>

namespace testenv {

// The driver service's machine-wide names, cleaned before and after each test that uses them.
inline const wchar_t kDriverServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\TW5IFS";
inline const wchar_t kExeVerbKey[] = L"exefile\\shell\\tw5";
inline const wchar_t kMsiVerbKey[] = L"Msi.Package\\shell\\tw5";

// Deletes the service "TW5IFS" and whatever is left of its key.
void RemoveDriverService();

}  // namespace testenv
