#include "system/command_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "env/apptools2.h"
#include "process/lookup.h"
#include "support/child_process.h"
#include "support/scoped_seams.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

using testenv::Quoted;

// The folder the runner takes for the system's.
std::wstring seamSystem;
std::wstring SeamSystemFolder() { return seamSystem; }

// The system's sc.exe is the probe here (the seam's system folder), so every child is the probe.
class CommandRunnerTest : public ::testing::Test {
 protected:
  testenv::ScratchFolder folder{L"runner"};
  std::wstring probe = testenv::BuiltProgram(L"tw6-probe.exe");
  std::wstring log = folder / L"probe.log";
  void SetUp() override {
    ::SetEnvironmentVariableW(L"TW6_PROBE_LOG", log.c_str());
    const std::wstring system = folder / L"system";
    ::CreateDirectoryW(system.c_str(), nullptr);
    ASSERT_TRUE(testenv::CopyTo(probe, system + L"\\sc.exe"));
    seamSystem = system;
    runner_->systemFolder = SeamSystemFolder;
  }
  void TearDown() override { ::SetEnvironmentVariableW(L"TW6_PROBE_LOG", nullptr); }
  std::wstring Logged() {
    const std::string bytes = testenv::ReadFileText(log);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  }
  ScopedSeams<apptools2::RunnerSeams> runner_{apptools2::TestRunnerSeams()};
};

TEST_F(CommandRunnerTest, ReturnsTheChildsExitCodeUnchanged) {
  EXPECT_EQ(apptools2::RunCommandAndWait(L"sc.exe exit 7", folder.path(), SW_HIDE), 7);
  EXPECT_EQ(apptools2::RunCommandAndWait(L"SC exit 0xFFFFFFFE", folder.path(), 0), -2);
  EXPECT_EQ(Logged(), L"sc.exe exit 7|" + folder.path() + L"\r\nSC exit 0xFFFFFFFE|" +
                          folder.path() + L"\r\n");
}

// A program in a drive's root has "C:" as its folder, which alone would mean the drive's current
// folder (the system folder, where the program moves at start); its children start in the root.
TEST_F(CommandRunnerTest, ADriveAloneGivesTheChildItsRoot) {
  wchar_t saved[MAX_PATH], system[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(system));
  const std::wstring drive(system, 2);
  const int exitCode = apptools2::RunCommandAndWait(L"sc.exe", drive, SW_HIDE);
  ::SetCurrentDirectoryW(saved);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(Logged(), L"sc.exe|" + drive + L"\\\r\n");
}

// Only sc commands run, and only the system's tool: anything else is refused unstarted.
TEST_F(CommandRunnerTest, OtherCommandsAndAMissingFolderGiveMinusOneAndStartNothing) {
  for (const std::wstring& command : std::vector<std::wstring>{
           Quoted(probe) + L" exit 7", L"tw6-no-such-program --x", L"scx exit 7",
           L"\"" + folder.path() + L"\\system\\sc.exe\" exit 7", std::wstring(L"  ")}) {
    EXPECT_EQ(apptools2::RunCommandAndWait(command, folder.path(), SW_HIDE), -1)
        << std::string(command.begin(), command.end());
  }
  EXPECT_EQ(apptools2::RunCommandAndWait(L"sc.exe exit 7", folder / L"missing", SW_HIDE), -1);
  EXPECT_EQ(Logged(), L"");
}

TEST_F(CommandRunnerTest, LongTextIsPassedWholeNeverCut) {
  const std::wstring tail(600, L'x');
  EXPECT_EQ(apptools2::RunCommandAndWait(L"sc.exe " + tail + L" exit 3", folder.path(), 0), 3);
  EXPECT_EQ(Logged(), L"sc.exe " + tail + L" exit 3|" + folder.path() + L"\r\n");
  // A working folder beyond the system's limit fails whole rather than running elsewhere.
  EXPECT_EQ(
      apptools2::RunCommandAndWait(L"sc.exe", folder.path() + L"\\" + std::wstring(600, L'y'), 0),
      -1);
  EXPECT_EQ(Logged(), L"sc.exe " + tail + L" exit 3|" + folder.path() + L"\r\n");
}

TEST_F(CommandRunnerTest, ScRunsTheSystemToolNotOnePlantedInTheWorkingFolder) {
  *runner_ = {};
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
  const int code = apptools2::RunCommandAndWait(L"sc.exe", folder.path(), SW_HIDE);
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
  bool inSystem;
  int expected;  // the system's copy exits 0; without one, the own delete finds no service
};

// sc.exe is the system's; where the system has none (2000) the command is carried out here.
// Copies in the program folder, on an absolute or relative PATH entry and in the current folder
// never run.
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
    apptools2::ProgramFolder = savedProgram;
    CommandRunnerTest::TearDown();
  }
  std::wstring Place(const std::wstring& name, bool withCopy) {
    const std::wstring place = folder / name;
    ::CreateDirectoryW(place.c_str(), nullptr);
    if (withCopy) {
      EXPECT_TRUE(testenv::CopyTo(probe, place + L"\\sc.exe"));
    }
    return place;
  }
};

TEST_P(ToolSearchTest, OnlyTheSystemsToolRunsNeverAPlantedOne) {
  const ToolCase& c = GetParam();
  seamSystem = Place(L"search system", c.inSystem);
  apptools2::ProgramFolder = Place(L"program", true);
  const std::wstring onPath = Place(L"onpath", true);
  Place(L"relative", true);
  const std::wstring current = Place(L"current", true);
  ::SetCurrentDirectoryW(folder.path().c_str());
  const std::wstring path = L"relative;\"" + onPath + L"\";" + onPath + L";.;" + L"current";
  ::SetEnvironmentVariableW(L"PATH", path.c_str());

  // One of the program's own lines, the only kind the own path carries out.
  testenv::DeleteTestService(L"TW5IFS");
  const int code = apptools2::RunCommandAndWait(L"sc.exe delete TW5IFS", current, SW_HIDE);
  EXPECT_EQ(code, c.expected);
  const std::wstring ran = c.inSystem ? folder / L"search system\\sc.exe\n" : L"";
  EXPECT_EQ(testenv::ReadFileText(self), std::string(ran.begin(), ran.end()));
}

INSTANTIATE_TEST_SUITE_P(Places, ToolSearchTest,
                         ::testing::Values(ToolCase{"TheSystemsTool", true, 0},
                                           ToolCase{"WithoutTheSystemsCarriedOutHere", false,
                                                    ERROR_SERVICE_DOES_NOT_EXIST}),
                         [](const ::testing::TestParamInfo<ToolCase>& info) {
                           return std::string(info.param.name);
                         });

// A child that outlives the bound is left running; the step gives the still-running code.
TEST_F(CommandRunnerTest, AChildThatOutlivesTheBoundIsLeftRunningWithTheStillRunningCode) {
  runner_->waitMs = 300;
  const std::wstring hung = folder / L"hung";
  ::CreateDirectoryW(hung.c_str(), nullptr);
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltProgram(L"tw6-sleeper.exe"), hung + L"\\sc.exe"));
  seamSystem = hung;
  const int code = apptools2::RunCommandAndWait(L"sc.exe", folder.path(), SW_HIDE);
  EXPECT_EQ(code, apptools2::kStillRunningExitCode);
  EXPECT_EQ(code, 259);
  const auto running = process::FindProcesses(std::string(hung.begin(), hung.end()) + "\\sc.exe");
  EXPECT_EQ(running->GetItemCount(), 1);
  running->Terminate(1);
}

// The child ends first, so nothing is left behind; then the system's own failure.
DWORD WINAPI FailingWait(HANDLE child, DWORD timeoutMs) {
  ::WaitForSingleObject(child, timeoutMs);
  return ::WaitForSingleObject(nullptr, timeoutMs);
}

// A wait that fails tells nothing of the child: the step gives -1, not the still-running code.
TEST_F(CommandRunnerTest, AFailedWaitGivesMinusOne) {
  runner_->wait = FailingWait;
  EXPECT_EQ(apptools2::RunCommandAndWait(L"sc.exe exit 7", folder.path(), SW_HIDE), -1);
  EXPECT_EQ(Logged(), L"sc.exe exit 7|" + folder.path() + L"\r\n");
}

}  // namespace
