#include "system/Services.h"

#include <string>

#include "win/unique_handle.h"

namespace Services {

namespace {

constexpr DWORD kRemoveAccess = STANDARD_RIGHTS_REQUIRED | SERVICE_QUERY_CONFIG |
                                SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS |
                                SERVICE_ENUMERATE_DEPENDENTS | SERVICE_START | SERVICE_STOP;
static_assert(kRemoveAccess == 0x000F003F, "DELETE without pause, interrogate or user controls");
static_assert(SC_MANAGER_CONNECT == 0x00000001 && SC_MANAGER_ALL_ACCESS == 0x000F003F &&
                  SERVICE_QUERY_STATUS == 0x00000004 && SERVICE_ALL_ACCESS == 0x000F01FF &&
                  (SERVICE_STOP | SERVICE_QUERY_STATUS) == 0x00000024,
              "access masks");

win::UniqueServiceHandle OpenManager(std::wstring_view machineName, DWORD access) {
  const std::wstring machine(machineName);
  return win::UniqueServiceHandle(
      ::OpenSCManagerW(machine.empty() ? nullptr : machine.c_str(), nullptr, access));
}

win::UniqueServiceHandle OpenNamedService(const win::UniqueServiceHandle& manager,
                                          std::wstring_view serviceName, DWORD access) {
  const std::wstring name(serviceName);
  return win::UniqueServiceHandle(::OpenServiceW(manager.get(), name.c_str(), access));
}

}  // namespace

DWORD QueryServiceState(std::wstring_view machineName, std::wstring_view serviceName) {
  win::UniqueServiceHandle manager = OpenManager(machineName, SC_MANAGER_CONNECT);
  if (!manager) return 0;
  win::UniqueServiceHandle service = OpenNamedService(manager, serviceName, SERVICE_QUERY_STATUS);
  if (!service) return 0;
  SERVICE_STATUS status = {};
  return ::QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

bool IsServiceRunning(std::wstring_view machineName, std::wstring_view serviceName) {
  return QueryServiceState(machineName, serviceName) == SERVICE_RUNNING;
}

bool RequestServiceStop(std::wstring_view machineName, std::wstring_view serviceName) {
  win::UniqueServiceHandle manager = OpenManager(machineName, SC_MANAGER_ALL_ACCESS);
  if (!manager) return false;
  win::UniqueServiceHandle service = OpenNamedService(manager, serviceName, SERVICE_ALL_ACCESS);
  if (!service) return false;
  SERVICE_STATUS status = {};
  return ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

StopWaitSeams& TestStopWaitSeams() {
  static StopWaitSeams seams;
  return seams;
}

bool StopServiceAndWait(std::wstring_view machineName, std::wstring_view serviceName) {
  return StopServiceAndWaitWithin(machineName, serviceName, kStopWaitLimitMs);
}

bool StopServiceAndWaitWithin(std::wstring_view machineName, std::wstring_view serviceName,
                              DWORD limitMs) {
  win::UniqueServiceHandle manager = OpenManager(machineName, SC_MANAGER_CONNECT);
  if (!manager) return false;
  win::UniqueServiceHandle service =
      OpenNamedService(manager, serviceName, SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!service) return false;

  // The bound counts from the stop control, which itself may block while the service answers.
  const DWORD start = ::GetTickCount();
  SERVICE_STATUS status = {};
  // A refused control may still carry the latest status (a service that stopped inside its
  // handler, say); only a status the manager reported counts, and the record starts zeroed.
  if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    return status.dwCurrentState == SERVICE_STOPPED;
  }
  SERVICE_STATUS queried = {};
  if (!TestStopWaitSeams().queryStatus(service.get(), &queried)) {
    return status.dwCurrentState == SERVICE_STOPPED;
  }
  status = queried;
  while (status.dwCurrentState != SERVICE_STOPPED) {
    const DWORD checkPoint = status.dwCheckPoint;
    // Unsigned difference: right across the tick counter's wrap after 49.7 days.
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= limitMs) break;
    const DWORD left = limitMs - elapsed;
    // A hint of 0 (or a few ms) would make this a busy loop on the service manager.
    const DWORD pause = status.dwWaitHint < kStopPollMinMs ? kStopPollMinMs : status.dwWaitHint;
    ::Sleep(pause < left ? pause : left);
    if (!TestStopWaitSeams().queryStatus(service.get(), &queried)) break;
    status = queried;
    if (status.dwCheckPoint < checkPoint) break;
  }
  return status.dwCurrentState == SERVICE_STOPPED;
}

bool RemoveService(std::wstring_view machineName, std::wstring_view serviceName) {
  win::UniqueServiceHandle manager = OpenManager(machineName, SC_MANAGER_CONNECT);
  if (!manager) return false;
  win::UniqueServiceHandle service = OpenNamedService(manager, serviceName, kRemoveAccess);
  if (!service) return false;
  ::DeleteService(service.get());
  return true;
}

}  // namespace Services
