#include "system/command_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"

namespace {

using testenv::Quoted;

class CommandRunnerTest : public ::testing::Test {
 protected:
  testenv::ScratchFolder folder{L"runner"};
  std::wstring probe = testenv::BuiltProgram(L"tw6-probe.exe");
  std::wstring log = folder / L"probe.log";
  void SetUp() override { ::SetEnvironmentVariableW(L"TW6_PROBE_LOG", log.c_str()); }
  void TearDown() override { ::SetEnvironmentVariableW(L"TW6_PROBE_LOG", nullptr); }
  std::wstring Logged() {
    const std::string bytes = testenv::ReadFileText(log);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  }
};

TEST_F(CommandRunnerTest, ReturnsTheChildsExitCodeUnchanged) {
  EXPECT_EQ(apptools2::RunCommandAndWait(Quoted(probe) + L" exit 7", folder.path(), SW_HIDE), 7);
  EXPECT_EQ(apptools2::RunCommandAndWait(Quoted(probe) + L" exit 0xFFFFFFFE", folder.path(), 0),
            -2);
  EXPECT_EQ(Logged(), Quoted(probe) + L" exit 7|" + folder.path() + L"\r\n" + Quoted(probe) +
                          L" exit 0xFFFFFFFE|" + folder.path() + L"\r\n");
}

TEST_F(CommandRunnerTest, MissingProgramOrFolderGivesMinusOne) {
  EXPECT_EQ(apptools2::RunCommandAndWait(L"tw6-no-such-program --x", folder.path(), SW_HIDE), -1);
  EXPECT_EQ(apptools2::RunCommandAndWait(Quoted(probe), folder / L"missing", SW_HIDE), -1);
}

TEST_F(CommandRunnerTest, LongTextIsPassedWholeNeverCut) {
  const std::wstring tail(600, L'x');
  EXPECT_EQ(
      apptools2::RunCommandAndWait(Quoted(probe) + L" " + tail + L" exit 3", folder.path(), 0), 3);
  EXPECT_EQ(Logged(), Quoted(probe) + L" " + tail + L" exit 3|" + folder.path() + L"\r\n");
  // A working folder beyond the system's limit fails whole rather than running elsewhere.
  EXPECT_EQ(apptools2::RunCommandAndWait(Quoted(probe),
                                         folder.path() + L"\\" + std::wstring(600, L'y'), 0),
            -1);
  EXPECT_EQ(Logged(), Quoted(probe) + L" " + tail + L" exit 3|" + folder.path() + L"\r\n");
}

TEST_F(CommandRunnerTest, ScRunsTheSystemToolNotOnePlantedInTheWorkingFolder) {
  ASSERT_TRUE(testenv::CopyTo(probe, folder / L"sc.exe"));
  const int byName =
      apptools2::RunCommandAndWait(L"sc query tw6-no-such-service", folder.path(), 0);
  const int byFile =
      apptools2::RunCommandAndWait(L"SC.EXE query tw6-no-such-service", folder.path(), 0);
  EXPECT_EQ(Logged(), L"");
  EXPECT_NE(byName, 0);  // the real tool fails for an unknown service
  EXPECT_EQ(byName, byFile);
}

// The child is told to keep its window hidden, its console's window is not shown (Wine makes
// none), and it has a console of its own. Under Wine this process has none, so a child that
// was not given a new one has none either; on Windows one that shared ours would carry our title.
TEST_F(CommandRunnerTest, TheChildIsHiddenInAConsoleOfItsOwn) {
  const std::string ours = "tw6 runner test " + std::to_string(::GetCurrentProcessId());
  const bool titled = ::SetConsoleTitleA(ours.c_str());
  const std::wstring startup = folder / L"startup.log";
  ::SetEnvironmentVariableW(L"TW6_PROBE_STARTUP", startup.c_str());
  const int code = apptools2::RunCommandAndWait(Quoted(probe), folder.path(), SW_HIDE);
  ::SetEnvironmentVariableW(L"TW6_PROBE_STARTUP", nullptr);
  ASSERT_EQ(code, 0);

  const std::string logged = testenv::ReadFileText(startup);
  std::istringstream line(logged);
  DWORD flags = 0, show = 99;
  std::string visible, console, title;
  line.ignore(6) >> flags;
  line.ignore(6) >> show;
  line.ignore(9) >> visible;
  line.ignore(9) >> console;
  line.ignore(7);
  std::getline(line, title);
  EXPECT_NE(flags & STARTF_USESHOWWINDOW, 0u) << logged;
  EXPECT_EQ(show, static_cast<DWORD>(SW_HIDE)) << logged;
  EXPECT_EQ(visible, "0") << logged;
  EXPECT_EQ(console, "1") << logged;
  if (titled) {
    EXPECT_NE(title, ours) << logged;
  }
}

}  // namespace
