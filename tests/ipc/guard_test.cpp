// The guard channel end to end: TW6Maint.exe and the test guard program, real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "app/apptools2.h"
#include "app/startup.h"
#include "ipc/IPCClient.h"
#include "ipc/deliver.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "support/maint.h"
#include "support/port_stand_in.h"
#include "support/test_env.h"
#include "support/test_guard.h"

namespace {

using Lines = std::vector<std::string>;

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override { app::StartUp(); }
  std::string OwnChannel() const {
    return IPCClient::GuardChannelName(apptools2::GetCurrentUserName());
  }
};

TEST_F(GuardTest, UninstallHands995ToTheGuardOverThePipe) {
  if (!testenv::IsXp()) GTEST_SKIP() << "the pipe carrier is the choice only on 32-bit XP";
  testenv::TestGuard guard;
  ASSERT_TRUE(guard.ready());
  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL").exitCode, 0u);
  ASSERT_TRUE(guard.Sync());
  EXPECT_EQ(guard.Lines(), (Lines{OwnChannel() + " 4 e3030000", OwnChannel() + " 4 73796e63"}));
}

TEST_F(GuardTest, UninstallOnWindows7x64UsesThePortAndGoesOnWhenNothingAnswers) {
  if (testenv::IsXp()) GTEST_SKIP() << "the port carrier is the choice on Vista and later and x64";
  // The guard owns only the pipe side of the channel: a message over the pipe would show.
  testenv::TestGuard guard;
  ASSERT_TRUE(guard.ready());
  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL").exitCode, 0u);
  ASSERT_TRUE(guard.Sync());
  EXPECT_EQ(guard.Lines(), (Lines{OwnChannel() + " 4 73796e63"}));
}

TEST_F(GuardTest, NotifyGuardHandsOverTheFourBytesOf995) {
  // xp32: the real test guard over the pipe; win64: the port through the stand-in.
  if (testenv::IsXp()) {
    testenv::TestGuard guard;
    ASSERT_TRUE(guard.ready());
    EXPECT_TRUE(IPCClient::NotifyGuard());
    ASSERT_TRUE(guard.Sync());
    EXPECT_EQ(guard.Lines(), (Lines{OwnChannel() + " 4 e3030000", OwnChannel() + " 4 73796e63"}));
  } else {
    testenv::PortStandIn standIn;
    standIn.Open(OwnChannel(), {});
    EXPECT_TRUE(IPCClient::NotifyGuard());
    const auto calls = standIn.Connects();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, (std::vector<uint8_t>{0xe3, 0x03, 0x00, 0x00}));
    EXPECT_EQ(calls[0].info.answerLen(), 0u);
  }
}

TEST_F(GuardTest, WithoutAGuardNotifyGuardIsFalseAndLeavesNoMutex) {
  EXPECT_FALSE(IPCClient::NotifyGuard());
  EXPECT_FALSE(ipc::OpenNamedMutex(ipc::QueueMutexName(OwnChannel()), SYNCHRONIZE));
}

TEST_F(GuardTest, TheGuardAnswersAMessageThatAsksForOne) {
  if (!testenv::IsXp()) GTEST_SKIP() << "the guard program owns only the pipe carrier, XP's choice";
  testenv::TestGuard guard;
  ASSERT_TRUE(guard.ready());
  char answer[6] = {'-', '-', '-', '-', '-', '-'};
  ASSERT_TRUE(ipc::DeliverIpcMessage(guard.channel(), "ping", 4, answer, 6, 30000, true));
  EXPECT_EQ(std::string(answer, 6), std::string("ping\0\0", 6));
}

TEST_F(GuardTest, AGuardEndingDuringTheAnswerWaitGivesFalseWithoutWaitingForTheTimeOut) {
  if (!testenv::IsXp()) GTEST_SKIP() << "the guard program owns only the pipe carrier, XP's choice";
  testenv::TestGuard guard(L"", /*answers=*/false);
  ASSERT_TRUE(guard.ready());
  const std::string channel = guard.channel();
  auto sent = std::async(std::launch::async, [channel] {
    char answer[4] = {};
    return ipc::DeliverIpcMessage(channel, "wait", 4, answer, 4, INFINITE, false);
  });
  // Taken up (logged, event1 signalled) and never answered: end the guard then.
  for (int i = 0; i < 1000 && guard.Lines().empty(); ++i) ::Sleep(10);
  ASSERT_EQ(guard.Lines(), (Lines{channel + " 4 77616974"}));
  guard.process().Kill();
  ASSERT_EQ(sent.wait_for(std::chrono::seconds(30)), std::future_status::ready)
      << "still waiting although the guard has ended";
  EXPECT_FALSE(sent.get());
}

TEST_F(GuardTest, ANonAsciiUserNameGivesTheSameChannelToGuardAndSender) {
  // The account cannot be renamed under Wine: the guard is told the name, the sender narrows
  // the same one.
  const std::wstring user = L"J\u00f6rg \u03a9mega \u65e5\u672c";
  testenv::TestGuard guard(user);
  ASSERT_TRUE(guard.ready());
  const std::string channel = IPCClient::GuardChannelName(user);
  EXPECT_EQ(guard.channel(), channel);
  EXPECT_TRUE(ipc::DeliverBy(ipc::Carrier::Pipe, channel, "\xe3\x03\x00\x00", 4, nullptr, 0,
                             INFINITE, true));
  ASSERT_TRUE(guard.Sync());
  EXPECT_EQ(guard.Lines(), (Lines{channel + " 4 e3030000", channel + " 4 73796e63"}));
}

}  // namespace
