#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/test_env.h"

#include <string>

namespace {

// The program's linker script leaves the unwind tables of the library's exception classes to
// the collector: an error raised in the library must still reach the report, with exit code 1.
TEST(ShippedErrorsTest, LibraryErrorsReachTheReportUnderTheProgramsLink) {
  const std::wstring program = testenv::BuiltProgram(L"tw6-shipped-errors.exe");
  EXPECT_EQ(testenv::RunToEnd(testenv::Quoted(program)), 0u)
      << "the exit code counts the errors that did not reach the report";
}

// A fault that no handler takes, and an abort from the runtime, end with exit code 1 as any
// escaped error does, without the runtime's 3; a fault shows "Application Error" only where
// someone sees it.
struct Ending {
  const wchar_t* how;
  bool visible;
  const char* box;
};

class ShippedEndingTest : public ::testing::TestWithParam<Ending> {};

TEST_P(ShippedEndingTest, EndsWithExitCodeOne) {
  testenv::ScratchFolder folder(L"ending");
  const std::wstring log = folder / L"box.txt";
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TW6_BOX_LOG", log.c_str()));
  const std::wstring program = testenv::BuiltProgram(L"tw6-shipped-errors.exe");
  const DWORD exitCode = testenv::RunToEnd(testenv::Quoted(program) + L" " + GetParam().how +
                                           (GetParam().visible ? L" visible" : L""));
  ::SetEnvironmentVariableW(L"TW6_BOX_LOG", nullptr);
  EXPECT_EQ(exitCode, 1u);
  EXPECT_EQ(testenv::ReadFileText(log), GetParam().box);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ShippedEndingTest,
    ::testing::Values(Ending{L"fault", false, ""},
                      Ending{L"fault", true, "Application Error|Exception 0xc0000005.\n"},
                      Ending{L"terminate", true, ""}, Ending{L"abort", true, ""}),
    [](const ::testing::TestParamInfo<Ending>& info) {
      const std::wstring how = info.param.how;
      return std::string(how.begin(), how.end()) + (info.param.visible ? "Visible" : "Invisible");
    });

}  // namespace
