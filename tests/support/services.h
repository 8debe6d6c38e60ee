#pragma once

#include <windows.h>

#include <string>

namespace testenv {

// Service database checks through the service control manager itself.
bool ServiceExists(const std::wstring& name);
DWORD ServiceState(const std::wstring& name);  // 0 when it cannot be read
// Registers an own-process service (demand start) running binaryCommandLine.
bool CreateTestService(const std::wstring& name, const std::wstring& binaryCommandLine);
// True when the service's entry waits for its last handle to go before it is deleted.
bool IsMarkedForDeletion(const std::wstring& name);
// Starts the service and waits (at most 20 s) until it reports SERVICE_RUNNING.
bool StartTestService(const std::wstring& name);
// The service's process id, 0 when it has none.
DWORD ServiceProcessId(const std::wstring& name);
// Registers a file-system driver service (auto start) for the given driver file.
bool CreateDriverService(const std::wstring& name, const std::wstring& displayName,
                         const std::wstring& driverPath);
// Stops (if running; a service that refuses or does not finish in time has its process killed) and
// deletes the service, and waits until it is gone from the database.
void DeleteTestService(const std::wstring& name);
// Waits (at most 10 s) until a service marked for deletion has left the database.
bool WaitUntilServiceGone(const std::wstring& name);
// How many stop controls the scripted test service (tw6-test-service.exe) logged.
int StopControlsLogged(const std::wstring& log);

}  // namespace testenv
