// -INSTALL and -UNINSTALL, run in this process, with an sc.exe that never ends (a driver wedged
// in its entry or unload routine keeps "sc start" and "sc stop" from returning): each step
// waits its bound, logs the still-running code, and every later step still runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/startup.h"
#include "driver/Treiber_IFS.h"
#include "env/apptools2.h"
#include "process/lookup.h"
#include "support/debug_monitor.h"
#include "support/driver_service.h"
#include "support/registry.h"
#include "support/scoped_seams.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "system/command_runner.h"

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The folder the runner takes for the system's.
std::wstring seamSystem;
std::wstring SeamSystemFolder() { return seamSystem; }

class UninstallHungToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::StartUp();
    testenv::RemoveDriverService();
    // The system's sc.exe, as the runner sees it, is one that never ends.
    ASSERT_TRUE(testenv::CopyTo(testenv::BuiltProgram(L"tw6-sleeper.exe"), program / L"sc.exe"));
    apptools2::ProgramFolder = program.path();
    seamSystem = program.path();
    runner_->systemFolder = SeamSystemFolder;
    runner_->waitMs = kBoundMs;
  }
  void TearDown() override {
    const auto hung = process::FindProcesses(Narrow(program / L"sc.exe"));
    hung->Terminate(1);
    testenv::RemoveDriverService();
    for (const wchar_t* verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
      testenv::DeleteTree(HKEY_CLASSES_ROOT, verb, testenv::NativeView());
    }
    app::StartUp();
  }
  static constexpr DWORD kBoundMs = 1000;
  testenv::ScratchFolder program{L"hung sc"};
  ScopedSeams<apptools2::RunnerSeams> runner_{apptools2::TestRunnerSeams()};
};

TEST_F(UninstallHungToolTest, EachStepWaitsItsBoundLogsStillRunningAndTheRunGoesOn) {
  testenv::DebugMonitor monitor;
  app::RunInstall();
  EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, testenv::kExeVerbKey, testenv::NativeView()));

  testenv::ScratchFolder folder(L"hung sc product");
  std::vector<testenv::ChildProcess> product;
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    product.push_back(testenv::StartSleeperAs(folder / name));
    ASSERT_TRUE(product.back().started());
  }
  const double start = testenv::NowMs();
  app::RunUninstall();
  const double elapsedMs = testenv::NowMs() - start;
  const std::vector<std::string> lines = monitor.StopAndTake(::GetCurrentProcessId());

  EXPECT_EQ(lines, (std::vector<std::string>{
                       "(TW Driver_Install) -> " + Narrow(Treiber_IFS::CreateCommandLine(
                                                       program.path(), apptools2::Is64BitWindows)),
                       "(TW Driver_Install) -> errorcode=259", "(TW Driver_Start) -> errorcode=259",
                       "(TW Driver_Stop) -> errorcode=259",
                       "(TW Driver_Uninstall) -> sc.exe delete TW5IFS",
                       "(TW Driver_Uninstall) -> errorcode=259"}));
  // "sc delete KorvaS", "sc stop" and "sc delete" each waited the bound; nothing waited longer.
  EXPECT_GE(elapsedMs, 3 * kBoundMs - 100.0);
  for (testenv::ChildProcess& child : product) EXPECT_EQ(child.Wait(10000), 0u);
  for (const wchar_t* verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, verb, testenv::NativeView()));
  }
  // The children are left running: ending sc.exe would not free a driver stuck in the kernel.
  EXPECT_EQ(process::FindProcesses(Narrow(program / L"sc.exe"))->GetItemCount(), 5);
}

}  // namespace
