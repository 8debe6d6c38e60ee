#include "support/services.h"

#include "win/unique_handle.h"

namespace testenv {

namespace {

win::UniqueServiceHandle OpenManager() {
  return win::UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

}  // namespace

bool ServiceExists(const std::wstring& name) {
  win::UniqueServiceHandle manager = OpenManager();
  win::UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  return static_cast<bool>(service);
}

DWORD ServiceState(const std::wstring& name) {
  win::UniqueServiceHandle manager = OpenManager();
  win::UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status = {};
  return service && ::QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

bool CreateTestService(const std::wstring& name, const std::wstring& binaryCommandLine) {
  win::UniqueServiceHandle manager = OpenManager();
  win::UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                       binaryCommandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service);
}

bool StartTestService(const std::wstring& name) {
  win::UniqueServiceHandle manager = OpenManager();
  win::UniqueServiceHandle service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!service || !::StartServiceW(service.get(), 0, nullptr)) return false;
  SERVICE_STATUS status = {};
  for (int i = 0; i < 400 && ::QueryServiceStatus(service.get(), &status); ++i) {
    if (status.dwCurrentState == SERVICE_RUNNING) return true;
    ::Sleep(25);
  }
  return false;
}

bool CreateDriverService(const std::wstring& name, const std::wstring& displayName,
                         const std::wstring& driverPath) {
  win::UniqueServiceHandle manager = OpenManager();
  win::UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_FILE_SYSTEM_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                       driverPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service);
}

void DeleteTestService(const std::wstring& name) {
  {
    win::UniqueServiceHandle manager = OpenManager();
    win::UniqueServiceHandle service(
        ::OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status = {};
    ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 200 && ::QueryServiceStatus(service.get(), &status) &&
                    status.dwCurrentState != SERVICE_STOPPED;
         ++i) {
      ::Sleep(50);
    }
    ::DeleteService(service.get());
  }
  // The entry goes when its last handle closes; wait for the manager to drop it.
  for (int i = 0; i < 200 && ServiceExists(name); ++i) ::Sleep(50);
}

}  // namespace testenv
