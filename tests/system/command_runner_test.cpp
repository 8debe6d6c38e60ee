#include "system/command_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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
// none), and it has a console of its own: a child that shared
// ours would list this process among its console's.
TEST_F(CommandRunnerTest, TheChildIsHiddenInAConsoleOfItsOwn) {
  if (::GetConsoleProcessList(std::vector<DWORD>(1).data(), 1) == 0) ::AllocConsole();
  DWORD own[1];
  ASSERT_NE(::GetConsoleProcessList(own, 1), 0u) << "the test needs a console to tell apart";
  const std::wstring startup = folder / L"startup.log";
  ::SetEnvironmentVariableW(L"TW6_PROBE_STARTUP", startup.c_str());
  const int code = apptools2::RunCommandAndWait(Quoted(probe), folder.path(), SW_HIDE);
  ::SetEnvironmentVariableW(L"TW6_PROBE_STARTUP", nullptr);
  ASSERT_EQ(code, 0);

  std::istringstream line(testenv::ReadFileText(startup));
  DWORD flags = 0, show = 99;
  std::string visible, console;
  line.ignore(6) >> flags;
  line.ignore(6) >> show;
  line.ignore(9) >> visible;
  line.ignore(9) >> console;
  EXPECT_NE(flags & STARTF_USESHOWWINDOW, 0u) << flags;
  EXPECT_EQ(show, static_cast<DWORD>(SW_HIDE));
  EXPECT_EQ(visible, "0");
  std::vector<DWORD> ids;
  std::istringstream list(console);
  for (std::string id; std::getline(list, id, ',');) ids.push_back(std::stoul(id));
  EXPECT_FALSE(ids.empty()) << "no console";
  EXPECT_EQ(std::count(ids.begin(), ids.end(), ::GetCurrentProcessId()), 0) << console;
}

}  // namespace
