// A real own-process service whose answer to the stop control is chosen on its command line
// (the service's binary path), for the service-control tests:
//   mode=stop            STOP_PENDING from the control handler, STOPPED at once from the
//                        service's own thread (the default)
//   mode=pending-rising  STOP_PENDING with checkpoints 1..steps, one every stepMs, then STOPPED
//   mode=pending-drop    STOP_PENDING at checkpoint steps, drops to 1 after stepMs, then rises
//                        again to steps and stops
//   mode=pending-forever STOP_PENDING at checkpoint 1 until the process is killed
//   mode=no-stop         does not accept the stop control
//   mode=ignore-first    accepts the first stop control but keeps running; stops at the next
//   hint=N               the wait hint of every pending report, in ms (default 0)
//   steps=N stepMs=N     the pending script (default 4 steps of 250 ms)
//   log=PATH             appends "<tick> control <n>" and "<tick> state <state> <checkpoint>"
//                        lines, GetTickCount() at each control and each status report
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring mode = L"stop";
DWORD hint = 0;
DWORD steps = 4;
DWORD stepMs = 250;
std::wstring logPath;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopControl = nullptr;
CRITICAL_SECTION logLock;

void Log(const std::string& line) {
  if (logPath.empty()) return;
  ::EnterCriticalSection(&logLock);
  HANDLE file = ::CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const std::string text = std::to_string(::GetTickCount()) + " " + line + "\r\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
  }
  ::LeaveCriticalSection(&logLock);
}

void Report(DWORD state, DWORD checkPoint = 0) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING && mode != L"no-stop" ? SERVICE_ACCEPT_STOP : 0;
  status.dwCheckPoint = checkPoint;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? hint : 0;
  // Log first: once STOPPED is reported the process may be ended at any moment.
  Log("state " + std::to_string(state) + " " + std::to_string(checkPoint));
  ::SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  Log("control " + std::to_string(control));
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  if (control != SERVICE_CONTROL_STOP || mode == L"no-stop") return ERROR_CALL_NOT_IMPLEMENTED;
  if (::WaitForSingleObject(stopControl, 0) == WAIT_OBJECT_0) return NO_ERROR;  // a repeat
  if (mode == L"ignore-first") {
    mode = L"stop";
    return NO_ERROR;
  }
  // STOP_PENDING before answering, as a well-behaved service does: a caller that asks right
  // after the accepted control must not find it still running and send a second stop.
  // "stop" reports STOPPED from the service's own thread, after this handler has answered:
  // a process that ends inside its handler leaves Wine's manager without the control's answer.
  Report(SERVICE_STOP_PENDING, mode == L"pending-drop" ? steps : 1);
  ::SetEvent(stopControl);
  return NO_ERROR;
}

void RisePendingFrom(DWORD checkPoint) {
  for (; checkPoint <= steps; ++checkPoint) {
    ::Sleep(stepMs);
    Report(SERVICE_STOP_PENDING, checkPoint);
  }
  ::Sleep(stepMs);
  Report(SERVICE_STOPPED);
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  statusHandle = ::RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", Handler, nullptr);
  if (!statusHandle) return;
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(stopControl, INFINITE);
  if (mode == L"stop") {
    Report(SERVICE_STOPPED);
  } else if (mode == L"pending-rising") {
    RisePendingFrom(2);
  } else if (mode == L"pending-drop") {
    RisePendingFrom(1);
  } else if (mode == L"pending-forever") {
    ::Sleep(INFINITE);
  }
}

DWORD Number(const wchar_t* text) { return static_cast<DWORD>(std::wcstoul(text, nullptr, 10)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const size_t eq = arg.find(L'=');
    const std::wstring key = arg.substr(0, eq);
    const std::wstring value = eq == std::wstring::npos ? L"" : arg.substr(eq + 1);
    if (key == L"mode") mode = value;
    if (key == L"hint") hint = Number(value.c_str());
    if (key == L"steps") steps = Number(value.c_str());
    if (key == L"stepMs") stepMs = Number(value.c_str());
    if (key == L"log") logPath = value;
  }
  ::InitializeCriticalSection(&logLock);
  stopControl = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  wchar_t name[] = L"tw6-test-service";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
