// -UNINSTALL, run in this process, opens the product's processes to end them with
// SeDebugPrivilege enabled, since those of other users and sessions grant the terminate right to
// their creators only, and takes every other step as the token was. Wine ignores the privilege
// in its access checks: the test reads the token where the processes are opened and where the
// guard message is made up, and the sc.exe children, which inherit the token, report theirs.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/startup.h"
#include "env/apptools2.h"
#include "process/process.h"
#include "support/driver_service.h"
#include "support/family.h"
#include "support/privileges.h"
#include "support/registry.h"
#include "support/scoped_seams.h"
#include "support/sleepers.h"
#include "support/test_guard.h"
#include "support/test_env.h"
#include "system/command_runner.h"
#include "win/entry_points.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;

struct Seen {
  win::EntryPoints real;
  process::ProcessOpenSeams realOpen;
  std::map<DWORD, std::vector<bool>> terminateOpens;  // by process id: enabled at each open
  std::vector<bool> guardSends;                       // enabled while the message was made up
};
Seen seen;

HANDLE WINAPI OpenToEnd(DWORD access, BOOL inherit, DWORD id) {
  seen.terminateOpens[id].push_back(testenv::DebugPrivilegeEnabled());
  return seen.realOpen.openProcess(access, inherit, id);
}

// Both carriers put the sender's session into what they hand over.
BOOL WINAPI SessionForGuard(DWORD id, DWORD* session) {
  seen.guardSends.push_back(testenv::DebugPrivilegeEnabled());
  return seen.real.processIdToSessionId ? seen.real.processIdToSessionId(id, session) : FALSE;
}

// The folder the runner takes for the system's.
std::wstring seamSystem;
std::wstring SeamSystemFolder() { return seamSystem; }

class UninstallPrivilegeTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    app::StartUp();
    before_ = testenv::DebugPrivilegeEnabled();
    testenv::RemoveDriverService();
    ASSERT_TRUE(
        testenv::CopyTo(testenv::BuiltProgram(L"tw6-privilege-probe.exe"), tools_ / L"sc.exe"));
    apptools2::ProgramFolder = program_.path();
    // The probe stands in for the system's sc.exe, the only one the runner starts.
    seamSystem = tools_.path();
    runner_->systemFolder = SeamSystemFolder;
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TW6_PRIVILEGE_LOG", log_.c_str()));
    seen = Seen{win::Entries(), process::TestProcessOpenSeams(), {}, {}};
    opens_->openProcess = OpenToEnd;
    entries_->processIdToSessionId = SessionForGuard;
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"TW6_PRIVILEGE_LOG", nullptr);
    testenv::SetDebugPrivilege(before_);
    for (const wchar_t* verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
      testenv::DeleteTree(HKEY_CLASSES_ROOT, verb, testenv::NativeView());
    }
    app::StartUp();
  }

  bool before_ = false;
  testenv::ScratchFolder program_{L"privilege program"};
  testenv::ScratchFolder tools_{L"privilege tools"};
  ScopedSeams<apptools2::RunnerSeams> runner_{apptools2::TestRunnerSeams()};
  ScopedSeams<process::ProcessOpenSeams> opens_{process::TestProcessOpenSeams()};
  ScopedSeams<win::EntryPoints> entries_{win::Entries()};
  const std::wstring log_ = program_ / L"sc.log";
};

TEST_P(UninstallPrivilegeTest, OnlyTheProductProcessesAreOpenedWithTheDebugPrivilege) {
  const bool enabledBefore = GetParam();
  ASSERT_TRUE(testenv::SetDebugPrivilege(enabledBefore));
  // The pipe carrier makes up its message only for a receiver that owns the channel.
  std::unique_ptr<testenv::TestGuard> guard;
  if (testenv::ThisFamily().carrier == testenv::Carrier::Pipe) {
    guard = std::make_unique<testenv::TestGuard>();
    ASSERT_TRUE(guard->ready());
  }
  testenv::ScratchFolder folder(L"privilege product");
  std::vector<testenv::ChildProcess> product;
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    product.push_back(testenv::StartSleeperAs(folder / name));
    ASSERT_TRUE(product.back().started());
  }

  app::RunUninstall();

  EXPECT_EQ(testenv::DebugPrivilegeEnabled(), enabledBefore) << "the former state is back";
  for (testenv::ChildProcess& child : product) {
    EXPECT_EQ(child.Wait(kEndWaitMs), 0u);
    EXPECT_EQ(seen.terminateOpens[child.id()], std::vector<bool>{true}) << child.id();
  }
  EXPECT_EQ(seen.guardSends, std::vector<bool>{enabledBefore});
  std::ostringstream expected;
  for (const char* command : {"sc delete KorvaS", "sc.exe stop TW5IFS", "sc.exe delete TW5IFS"}) {
    expected << "debug=" << enabledBefore << ' ' << command << '\n';
  }
  EXPECT_EQ(testenv::ReadFileText(log_), expected.str());
}

INSTANTIATE_TEST_SUITE_P(Before, UninstallPrivilegeTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Enabled" : "Disabled";
                         });

}  // namespace
