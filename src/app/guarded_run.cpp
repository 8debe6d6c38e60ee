#include "app/guarded_run.h"

#include <exception>

namespace app {

namespace {

std::wstring Widen(const char* text) {
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
  const HWINSTA station = ::GetProcessWindowStation();
  USEROBJECTFLAGS info = {};
  DWORD needed = 0;
  if (!station || !::GetUserObjectInformationW(station, UOI_FLAGS, &info, sizeof(info), &needed)) {
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
  ::SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
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
    report(Widen(error.what()));
  } catch (...) {
    report(L"Unknown error.");
  }
  return 1;
}

}  // namespace app
