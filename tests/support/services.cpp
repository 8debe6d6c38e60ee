#include "support/services.h"

#include "support/test_env.h"
#include "win/unique_handle.h"

namespace testenv {

namespace {

win::UniqueServiceHandle OpenManager() {
  return win::UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

win::UniqueServiceHandle OpenTestService(const std::wstring& name, DWORD access) {
  win::UniqueServiceHandle manager = OpenManager();
  return win::UniqueServiceHandle(::OpenServiceW(manager.get(), name.c_str(), access));
}

bool WaitForState(SC_HANDLE service, DWORD state, int tries) {
  SERVICE_STATUS status = {};
  for (int i = 0; i < tries; ++i) {
    if (!::QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == state) return true;
    ::Sleep(50);
  }
  return false;
}

void KillProcess(DWORD id) {
  win::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
  if (!process) return;
  ::TerminateProcess(process.get(), 1);
  ::WaitForSingleObject(process.get(), 10000);
}

}  // namespace

bool ServiceExists(const std::wstring& name) {
  return static_cast<bool>(OpenTestService(name, SERVICE_QUERY_STATUS));
}

DWORD ServiceState(const std::wstring& name) {
  win::UniqueServiceHandle service = OpenTestService(name, SERVICE_QUERY_STATUS);
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

bool CreateDriverService(const std::wstring& name, const std::wstring& displayName,
                         const std::wstring& driverPath) {
  win::UniqueServiceHandle manager = OpenManager();
  win::UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_FILE_SYSTEM_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                       driverPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service);
}

bool IsMarkedForDeletion(const std::wstring& name) {
  win::UniqueServiceHandle service = OpenTestService(name, SERVICE_CHANGE_CONFIG);
  // A change that changes nothing is refused only for a service marked for deletion.
  return service &&
         !::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                 SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr) &&
         ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

bool StartTestService(const std::wstring& name) {
  win::UniqueServiceHandle service = OpenTestService(name, SERVICE_START | SERVICE_QUERY_STATUS);
  return service && ::StartServiceW(service.get(), 0, nullptr) &&
         WaitForState(service.get(), SERVICE_RUNNING, 400);
}

DWORD ServiceProcessId(const std::wstring& name) {
  win::UniqueServiceHandle service = OpenTestService(name, SERVICE_QUERY_STATUS);
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  return service &&
                 ::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                        reinterpret_cast<BYTE*>(&status), sizeof(status), &needed)
             ? status.dwProcessId
             : 0;
}

void DeleteTestService(const std::wstring& name) {
  {
    win::UniqueServiceHandle service = OpenTestService(name, SERVICE_ALL_ACCESS);
    if (!service) return;
    SERVICE_STATUS status = {};
    const bool accepted = ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
    // Wine's manager does not notice a killed service process: delete without waiting for it.
    if (!WaitForState(service.get(), SERVICE_STOPPED, accepted ? 200 : 1)) {
      if (const DWORD id = ServiceProcessId(name)) KillProcess(id);
    }
    ::DeleteService(service.get());
  }
  // The entry goes when its last handle closes; wait for the manager to drop it.
  WaitUntilServiceGone(name);
}

bool WaitUntilServiceGone(const std::wstring& name) {
  for (int i = 0; i < 200 && ServiceExists(name); ++i) ::Sleep(50);
  return !ServiceExists(name);
}

int StopControlsLogged(const std::wstring& log) {
  const std::string text = ReadFileText(log);
  int count = 0;
  for (size_t at = text.find(" control 1\r"); at != std::string::npos;
       at = text.find(" control 1\r", at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace testenv
