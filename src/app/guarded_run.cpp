#include "app/guarded_run.h"

#include <windows.h>

#include <exception>

#include "win/entry_points.h"

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

void ShowApplicationError(const std::wstring& text) {
  if (const auto messageBox = win::LoadUserEntries().messageBox) {
    messageBox(nullptr, text.c_str(), L"Application Error", MB_OK | MB_ICONERROR);
  }
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
