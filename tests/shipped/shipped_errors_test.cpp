#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/test_env.h"

namespace {

// The program's linker script leaves the unwind tables of the library's exception classes to
// the collector: an error raised in the library must still reach the report, with exit code 1.
TEST(ShippedErrorsTest, LibraryErrorsReachTheReportUnderTheProgramsLink) {
  const std::wstring program = testenv::BuiltProgram(L"tw6-shipped-errors.exe");
  EXPECT_EQ(testenv::RunToEnd(testenv::Quoted(program)), 0u)
      << "the exit code counts the errors that did not reach the report";
}

}  // namespace
