// -UNINSTALL, run in this process, against a guard channel whose hand-over never completes (a
// hung or hostile receiver: a port whose connect never returns, or on XP a queue mutex that
// someone keeps): the run still ends the product's processes, the driver and the verbs.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/startup.h"
#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "support/driver_service.h"
#include "support/family.h"
#include "support/mutex_keeper.h"
#include "support/port_stand_in.h"
#include "support/registry.h"
#include "support/services.h"
#include "support/sleepers.h"
#include "support/test_env.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;

void RemoveDriverAndVerbs() {
  testenv::RemoveDriverService();
  for (const wchar_t* verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
    testenv::DeleteTree(HKEY_CLASSES_ROOT, verb, testenv::NativeView());
  }
}

class UninstallHungGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::StartUp();
    RemoveDriverAndVerbs();
  }
  void TearDown() override {
    RemoveDriverAndVerbs();
    app::StartUp();
  }
  testenv::ScratchFolder program{L"hung guard program"};
};

TEST_F(UninstallHungGuardTest, AHandOverThatNeverCompletesStillLetsTheRunEndEverything) {
  app::RunInstall();
  ASSERT_TRUE(testenv::ServiceExists(L"TW5IFS"));
  ASSERT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, testenv::kExeVerbKey, testenv::NativeView()));
  testenv::ScratchFolder folder(L"hung guard");
  std::vector<testenv::ChildProcess> product;
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    product.push_back(testenv::StartSleeperAs(folder / name));
    ASSERT_TRUE(product.back().started());
  }

  const std::string channel = IPCClient::GuardChannelName(apptools2::GetCurrentUserName());
  testenv::PortStandIn standIn;
  testenv::PortStandIn::Port port;
  port.receiverProcessId = product.back().id();
  port.holdsCalls = true;
  standIn.Open(channel, port);
  testenv::QueueMutexKeeper keeper(channel);
  auto run = std::async(std::launch::async, [] { app::RunUninstall(); });
  const bool ended = run.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  keeper.Release();
  standIn.ReleaseHeldCalls();
  run.wait();
  ASSERT_TRUE(keeper.kept());
  ASSERT_TRUE(ended) << "-UNINSTALL is still waiting for the guard's channel";

  EXPECT_EQ(standIn.Connects().size(),
            testenv::ThisFamily().carrier == testenv::Carrier::Port ? 1u : 0u);
  for (testenv::ChildProcess& child : product) EXPECT_EQ(child.Wait(kEndWaitMs), 0u);
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  for (const wchar_t* verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, verb, testenv::NativeView()));
  }
}

}  // namespace
