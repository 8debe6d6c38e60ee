#include "app/guarded_run.h"

#include <exception>

#include "win/entry_points.h"
#include "win/number_text.h"

namespace app {

namespace {

// Exception texts are narrow: read in the ANSI code page.
std::wstring WidenFromCodePage(const char* text) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring result(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, &result[0], length);
  result.resize(static_cast<size_t>(length - 1));
  return result;
}

}  // namespace

// The station handle is the process's own and must not be closed.
bool SystemStationFlags(DWORD& flags) {
  const win::UserEntries& user = win::LoadUserEntries();
  if (!user.getProcessWindowStation || !user.getUserObjectInformation) return false;
  const HWINSTA station = user.getProcessWindowStation();
  USEROBJECTFLAGS info = {};
  DWORD needed = 0;
  if (!station ||
      !user.getUserObjectInformation(station, UOI_FLAGS, &info, sizeof(info), &needed)) {
    return false;
  }
  flags = info.dwFlags;
  return true;
}

ErrorBoxSeams& TestErrorBoxSeams() {
  static ErrorBoxSeams seams;
  return seams;
}

void QuietSystemErrorBoxes() {
  // GetErrorMode is Vista's; the old mode comes back from setting one.
  const UINT mode = ::SetErrorMode(0);
  ::SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

namespace {

LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
  const DWORD code = fault && fault->ExceptionRecord ? fault->ExceptionRecord->ExceptionCode : 0;
  const std::string hex = win::HexText(code);
  ShowApplicationError(L"Exception 0x" + std::wstring(hex.begin(), hex.end()) + L".");
  // The faulting state is not to be trusted with the process's own clean-up.
  ::TerminateProcess(::GetCurrentProcess(), 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void ReportUnhandledFaults() { ::SetUnhandledExceptionFilter(ReportFault); }

int WINAPI SystemMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  const auto messageBox = win::LoadUserEntries().messageBox;
  return messageBox ? messageBox(owner, text, caption, type) : 0;
}

bool WindowStationIsVisible() {
  DWORD flags = 0;
  return TestErrorBoxSeams().stationFlags(flags) && (flags & WSF_VISIBLE) != 0;
}

void ShowApplicationError(const std::wstring& text) {
  // A service, a scheduled task or an installer's deferred action as SYSTEM runs on an invisible
  // station: a box there waits for ever.
  if (!WindowStationIsVisible()) return;
  TestErrorBoxSeams().messageBox(nullptr, text.c_str(), L"Application Error", MB_OK | MB_ICONERROR);
}

int RunGuarded(const std::function<void()>& body, ErrorReporter report) {
  try {
    body();
    return 0;
  } catch (const std::exception& error) {
    report(WidenFromCodePage(error.what()));
  } catch (...) {
    report(L"Unknown error.");
  }
  return 1;
}

}  // namespace app
