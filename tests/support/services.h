#pragma once

#include <windows.h>

#include <string>

namespace testenv {

// Service database checks through the service control manager itself.
bool ServiceExists(const std::wstring& name);
DWORD ServiceState(const std::wstring& name);  // 0 when it cannot be read
// Registers an own-process service (demand start) running binaryCommandLine.
bool CreateTestService(const std::wstring& name, const std::wstring& binaryCommandLine);
// Starts a registered service and waits (bounded) until it reports running.
bool StartTestService(const std::wstring& name);
// Registers a file-system driver service (auto start) for the given driver file.
bool CreateDriverService(const std::wstring& name, const std::wstring& displayName,
                         const std::wstring& driverPath);
// Stops (if running) and deletes the service, and waits until it is gone from the database.
void DeleteTestService(const std::wstring& name);

}  // namespace testenv
