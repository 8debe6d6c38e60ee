// The guard channel end to end: TW6Maint.exe and the test guard program, real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "app/startup.h"
#include "ipc/IPCClient.h"
#include "ipc/deliver.h"
#include "support/maint.h"
#include "support/port_stand_in.h"
#include "support/test_env.h"
#include "support/test_guard.h"

namespace {

using Lines = std::vector<std::string>;

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override { app::StartUp(); }
  // From the system's own answer, not the program's, so that a wrong user name shows.
  static std::string OwnChannel() {
    wchar_t user[256];
    DWORD size = 256;
    return ::GetUserNameW(user, &size) ? IPCClient::GuardChannelName(user) : std::string();
  }
};

TEST_F(GuardTest, UninstallHands995ToTheGuardOverThePipeOnlyOnXp) {
  // The guard owns only the pipe side of the channel: elsewhere the port is used, nothing
  // answers there and the run goes on.
  testenv::TestGuard guard;
  ASSERT_TRUE(guard.ready());
  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL").exitCode, 0u);
  ASSERT_TRUE(guard.Sync());
  Lines expected = {OwnChannel() + " 4 73796e63"};
  if (testenv::PipeCarrierSystem()) expected.insert(expected.begin(), OwnChannel() + " 4 e3030000");
  EXPECT_EQ(guard.Lines(), expected);
}

TEST_F(GuardTest, NotifyGuardHandsTheFourBytesOf995ToThePort) {
  if (testenv::PipeCarrierSystem())
    GTEST_SKIP() << "XP uses the pipe, checked by the uninstall run";
  testenv::PortStandIn standIn;
  standIn.Open(OwnChannel(), {});
  EXPECT_TRUE(IPCClient::NotifyGuard());
  const auto calls = standIn.Connects();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].message, (std::vector<uint8_t>{0xe3, 0x03, 0x00, 0x00}));
  EXPECT_EQ(calls[0].info.answerLen(), 0u);
}

TEST_F(GuardTest, AGuardEndingDuringTheAnswerWaitGivesFalseWithoutWaitingForTheTimeOut) {
  if (!testenv::PipeCarrierSystem())
    GTEST_SKIP() << "the guard program owns only the pipe carrier, XP's choice";
  testenv::TestGuard guard(/*answers=*/false);
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
  // the same one, and the kernel objects are found under the byte-widened names.
  const std::wstring user = L"J\u00f6rg \u03a9mega \u65e5\u672c";
  testenv::TestGuard guard(true, user);
  ASSERT_TRUE(guard.ready());
  const std::string channel = IPCClient::GuardChannelName(user);
  EXPECT_EQ(channel, "TW6_GuardChannel_J\xc3\xb6rg \xce\xa9mega \xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_EQ(guard.channel(), channel);
  EXPECT_TRUE(ipc::DeliverBy(ipc::Carrier::Pipe, channel, "\xe3\x03\x00\x00", 4, nullptr, 0,
                             INFINITE, true));
  ASSERT_TRUE(guard.Sync());
  EXPECT_EQ(guard.Lines(), (Lines{channel + " 4 e3030000", channel + " 4 73796e63"}));
}

}  // namespace
