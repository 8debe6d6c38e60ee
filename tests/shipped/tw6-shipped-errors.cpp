// tw6-shipped-errors.exe: linked exactly like TW6Maint.exe (its script, its terminate handler),
// runs bodies that fail inside the library the way a step could, each through app::RunGuarded.
// Exits with the number of bodies whose error did not reach the report with exit code 1.
// With an argument it ends the way an error outside every handler would, after the program's
// start-up guards: "fault" (an access violation), "terminate" or "abort"; with "visible" after
// it the station counts as visible and each box is appended to %TW6_BOX_LOG%.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "app/guarded_run.h"
#include "support/scoped_seams.h"

namespace {

std::wstring reported;
void Record(const std::wstring& text) { reported = text; }

int Mismatch(int result, const wchar_t* expected) {
  const bool ok = result == 1 && reported == expected;
  reported.clear();
  return ok ? 0 : 1;
}

bool Visible(DWORD& flags) {
  flags = WSF_VISIBLE;
  return true;
}

bool Invisible(DWORD& flags) {
  flags = 0;
  return true;
}

int WINAPI LogBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TW6_BOX_LOG", log, MAX_PATH) == 0) return 0;
  if (FILE* file = ::_wfopen(log, L"ab")) {
    std::fprintf(file, "%ls|%ls\n", caption, text);
    std::fclose(file);
  }
  return IDOK;
}

int EndOutsideEveryHandler(const wchar_t* how, bool visible) {
  ScopedSeams<app::ErrorBoxSeams> seams(app::TestErrorBoxSeams());
  seams->stationFlags = visible ? Visible : Invisible;
  seams->messageBox = LogBox;
  app::QuietSystemErrorBoxes();
  app::ReportUnhandledFaults();
  if (std::wcscmp(how, L"fault") == 0) *static_cast<volatile int*>(nullptr) = 1;
  if (std::wcscmp(how, L"terminate") == 0) std::terminate();
  if (std::wcscmp(how, L"abort") == 0) std::abort();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1) return EndOutsideEveryHandler(argv[1], argc > 2);
  int failures = 0;
  failures += Mismatch(app::RunGuarded(
                           [] {
                             std::wstring text(L"x");
                             text.reserve(text.max_size() + 1);
                           },
                           Record),
                       L"basic_string::_M_create");
  failures += Mismatch(app::RunGuarded([] { (void)std::string("abc").substr(9); }, Record),
                       L"basic_string::substr: __pos (which is 9) > this->size() (which is 3)");
  failures += Mismatch(app::RunGuarded(
                           [] {
                             std::vector<int> numbers;
                             numbers.reserve(numbers.max_size() + 1);
                           },
                           Record),
                       L"vector::reserve");
  failures += Mismatch(app::RunGuarded([] { throw std::bad_alloc(); }, Record), L"std::bad_alloc");
  return failures;
}
