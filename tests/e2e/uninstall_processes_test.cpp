// -UNINSTALL ends the product's running processes: the first "TW6.exe", every "TW6Log.exe"
// and every "TW6Guard.exe", and nothing else.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/maint.h"
#include "support/sleepers.h"
#include "support/test_env.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;

TEST(UninstallProcessesTest, EndsTheFirstMainProgramAndEveryLoggerAndGuard) {
  testenv::ScratchFolder a(L"uninstall a");
  testenv::ScratchFolder b(L"uninstall b");
  testenv::ChildProcess mainA = testenv::StartSleeperAs(a / L"TW6.exe");
  testenv::ChildProcess mainB = testenv::StartSleeperAs(b / L"TW6.exe");
  std::vector<testenv::ChildProcess> ended;
  ended.push_back(testenv::StartSleeperAs(a / L"TW6Log.exe"));
  ended.push_back(testenv::StartSleeperAs(b / L"tw6log.EXE"));
  ended.push_back(testenv::StartSleeperAs(a / L"TW6Guard.exe"));
  ended.push_back(testenv::StartSleeperAs(b / L"TW6Guard.exe", testenv::IsWow64()));
  std::vector<testenv::ChildProcess> kept;
  kept.push_back(testenv::StartSleeperAs(a / L"TW6Helper.exe"));
  kept.push_back(testenv::StartSleeperAs(b / L"TW6.exe.exe"));
  kept.push_back(testenv::StartSleeperAs(a / L"XTW6Log.exe"));
  ASSERT_TRUE(mainA.started() && mainB.started());
  for (const auto* list : {&ended, &kept}) {
    for (const testenv::ChildProcess& child : *list) ASSERT_TRUE(child.started());
  }
  testenv::ChildProcess& firstMain =
      testenv::FirstListed({mainA.id(), mainB.id()}) == mainA.id() ? mainA : mainB;
  testenv::ChildProcess& otherMain = &firstMain == &mainA ? mainB : mainA;

  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL").exitCode, 0u);

  EXPECT_EQ(firstMain.Wait(kEndWaitMs), 0u);
  for (testenv::ChildProcess& child : ended) EXPECT_EQ(child.Wait(kEndWaitMs), 0u);
  EXPECT_TRUE(otherMain.running());
  for (const testenv::ChildProcess& child : kept) EXPECT_TRUE(child.running());
}

}  // namespace
