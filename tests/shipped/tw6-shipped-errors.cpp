// tw6-shipped-errors.exe: linked exactly like TW6Maint.exe (its script, its terminate handler),
// runs bodies that fail inside the library the way a step could, each through app::RunGuarded.
// Exits with the number of bodies whose error did not reach the report with exit code 1.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "app/guarded_run.h"

namespace {

std::wstring reported;
void Record(const std::wstring& text) { reported = text; }

int Mismatch(int result, const wchar_t* expected) {
  const bool ok = result == 1 && reported == expected;
  reported.clear();
  return ok ? 0 : 1;
}

}  // namespace

int wmain() {
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
