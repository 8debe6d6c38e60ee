#include "system/command_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "env/apptools2.h"
#include "process/lookup.h"
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

struct ToolCase {
  const char* name;
  bool inSystem, inProgram, onPath;
  const wchar_t* expected;  // the folder whose copy runs; null: none does, the step gives -1
};

// sc.exe is the system's; where the system has none (2000), the product's in its program folder;
// then one on an absolute PATH entry. Never the current folder's, nor a relative entry's.
class ToolSearchTest : public CommandRunnerTest, public ::testing::WithParamInterface<ToolCase> {
 protected:
  std::wstring self = folder / L"self.log";
  std::wstring savedPath, savedProgram = apptools2::ProgramFolder;
  wchar_t savedCurrent[MAX_PATH] = {};
  void SetUp() override {
    CommandRunnerTest::SetUp();
    ::SetEnvironmentVariableW(L"TW6_PROBE_SELF", self.c_str());
    std::vector<wchar_t> path(32768);
    savedPath.assign(path.data(), ::GetEnvironmentVariableW(L"PATH", path.data(), 32768));
    ::GetCurrentDirectoryW(MAX_PATH, savedCurrent);
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(savedCurrent);
    ::SetEnvironmentVariableW(L"PATH", savedPath.c_str());
    ::SetEnvironmentVariableW(L"TW6_PROBE_SELF", nullptr);
    apptools2::TestRunnerSeams() = apptools2::RunnerSeams();
    apptools2::ProgramFolder = savedProgram;
    CommandRunnerTest::TearDown();
  }
  std::wstring Place(const std::wstring& name, bool withCopy) {
    const std::wstring place = folder / name;
    ::CreateDirectoryW(place.c_str(), nullptr);
    if (withCopy) EXPECT_TRUE(testenv::CopyTo(probe, place + L"\\sc.exe"));
    return place;
  }
};

TEST_P(ToolSearchTest, TakesTheFirstOfSystemProgramFolderAndAbsolutePath) {
  const ToolCase& c = GetParam();
  apptools2::TestRunnerSeams().systemFolder = Place(L"system", c.inSystem);
  apptools2::ProgramFolder = Place(L"program", c.inProgram);
  const std::wstring onPath = Place(L"onpath", c.onPath);
  Place(L"relative", true);
  const std::wstring current = Place(L"current", true);
  ::SetCurrentDirectoryW(folder.path().c_str());
  const std::wstring path = L"relative;\"" + onPath + L"\";.;" + L"current";
  ::SetEnvironmentVariableW(L"PATH", path.c_str());

  const int code = apptools2::RunCommandAndWait(L"sc.exe exit 5", current, SW_HIDE);
  const std::string ran = testenv::ReadFileText(self);
  if (c.expected) {
    EXPECT_EQ(code, 5);
    const std::wstring expected = folder / c.expected + L"\\sc.exe\n";
    EXPECT_EQ(ran, std::string(expected.begin(), expected.end()));
  } else {
    EXPECT_EQ(code, -1);
    EXPECT_EQ(ran, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Places, ToolSearchTest,
    ::testing::Values(ToolCase{"SystemFirst", true, true, true, L"system"},
                      ToolCase{"ProgramFolderWithoutTheSystems", false, true, true, L"program"},
                      ToolCase{"AbsolutePathEntryLast", false, false, true, L"onpath"},
                      ToolCase{"NeverTheCurrentFolderOrARelativeEntry", false, false, false,
                               nullptr}),
    [](const ::testing::TestParamInfo<ToolCase>& info) { return std::string(info.param.name); });

// A child that outlives the bound is left running; the step gives the still-running code.
TEST_F(CommandRunnerTest, AChildThatOutlivesTheBoundIsLeftRunningWithTheStillRunningCode) {
  apptools2::TestRunnerSeams().waitMs = 300;
  const std::wstring sleeper = folder / L"tw6-hung.exe";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltProgram(L"tw6-sleeper.exe"), sleeper));
  const int code = apptools2::RunCommandAndWait(Quoted(sleeper), folder.path(), SW_HIDE);
  apptools2::TestRunnerSeams() = apptools2::RunnerSeams();
  EXPECT_EQ(code, apptools2::kStillRunningExitCode);
  EXPECT_EQ(code, 259);
  const auto hung = process::FindProcesses("tw6-hung.exe");
  EXPECT_EQ(hung->GetItemCount(), 1);
  hung->Terminate(1);
}

}  // namespace
