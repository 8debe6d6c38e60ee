#pragma once

#include <windows.h>

#include <string_view>

// Control of Windows services through the service control manager. An empty machine name is
// the local computer. Every operation opens and closes its own handles; failures show only in
// the result.
namespace Services {

// The service's dwCurrentState, or 0 when it cannot be read.
DWORD QueryServiceState(std::wstring_view machineName, std::wstring_view serviceName);

bool IsServiceRunning(std::wstring_view machineName, std::wstring_view serviceName);

// Sends the stop control and returns at once; true when the service manager accepted it.
bool RequestServiceStop(std::wstring_view machineName, std::wstring_view serviceName);

// The overall bound on StopServiceAndWait, so a service that reports progress forever cannot
// hold the caller.
constexpr DWORD kStopWaitLimitMs = 30000;

// The shortest pause between two status queries of StopServiceAndWait, whatever the hint.
constexpr DWORD kStopPollMinMs = 100;

// Sends the stop control and waits, sleeping the service's wait hints (at least
// kStopPollMinMs), while it is pending with a checkpoint that does not drop, for at most
// kStopWaitLimitMs. True when the service was last reported stopped.
bool StopServiceAndWait(std::wstring_view machineName, std::wstring_view serviceName);

// The status query of StopServiceAndWait's polls, which tests count.
struct StopWaitSeams {
  BOOL(WINAPI* queryStatus)(SC_HANDLE service, LPSERVICE_STATUS status) = ::QueryServiceStatus;
};
StopWaitSeams& TestStopWaitSeams();

// StopServiceAndWait with another overall bound.
bool StopServiceAndWaitWithin(std::wstring_view machineName, std::wstring_view serviceName,
                              DWORD limitMs);

// Marks the service for deletion; true when it could be opened for that, whatever
// DeleteService said.
bool RemoveService(std::wstring_view machineName, std::wstring_view serviceName);

}  // namespace Services
