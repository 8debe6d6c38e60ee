#pragma once

#include <windows.h>

#include <string>

namespace testenv {

// Service database checks through the service control manager itself.
bool ServiceExists(const std::wstring& name);
DWORD ServiceState(const std::wstring& name);  // 0 when it cannot be read
// Registers an own-process service (demand start) running binaryCommandLine.
bool CreateTestService(const std::wstring& name, const std::wstring& binaryCommandLine);
// Stops (if running) and deletes the service, and waits until it is gone from the database.
void DeleteTestService(const std::wstring& name);

}  // namespace testenv
