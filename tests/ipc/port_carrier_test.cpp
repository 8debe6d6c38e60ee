// The port carrier through the stand-in receiver at the native port-connect entry (Wine has no
// LPC ports), in both prefixes: the carrier is reached directly where the system would choose
// the pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <ostream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "ipc/deliver.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/records.h"
#include "ipc/waits.h"
#include "support/child_process.h"
#include "support/port_stand_in.h"
#include "support/test_env.h"
#include "win/entry_points.h"

namespace {

std::string UniqueChannel(const char* what) {
  static int n = 0;
  return std::string("tw6test_port_") + what + "_" + std::to_string(::GetCurrentProcessId()) + "_" +
         std::to_string(++n);
}

std::vector<uint8_t> Pattern(uint32_t length) {
  std::vector<uint8_t> bytes(length);
  for (uint32_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  return bytes;
}

bool SendByPort(const std::string& channel, const std::vector<uint8_t>& message,
                void* answer = nullptr, uint32_t answerLen = 0) {
  return ipc::DeliverBy(ipc::Carrier::Port, channel, message.data(),
                        static_cast<uint32_t>(message.size()), answer, answerLen, 30000, false);
}

class PortMessageLengthTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PortMessageLengthTest, UpTo240InlineAboveInASectionOfExactlyThatSize) {
  const uint32_t length = GetParam();
  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("len");
  standIn.Open(channel, {});
  const std::vector<uint8_t> message = Pattern(length);
  ASSERT_TRUE(SendByPort(channel, message));

  const std::vector<testenv::PortConnect> calls = standIn.Connects();
  ASSERT_EQ(calls.size(), 1u);
  const testenv::PortConnect& call = calls[0];
  const std::wstring portName = ipc::WidenBytes(ipc::PortName(channel));
  EXPECT_EQ(call.portName, portName);
  EXPECT_EQ(call.nameLength, portName.size() * 2);
  EXPECT_EQ(call.nameMaximumLength, portName.size() * 2 + 2);
  EXPECT_TRUE(call.qosAllZero);
  EXPECT_FALSE(call.maxMessageLengthGiven);
  EXPECT_EQ(call.infoLength, 260u);
  EXPECT_EQ(call.info.receiverProcessId(), 0u);
  EXPECT_EQ(call.info.messageLen(), length);
  EXPECT_EQ(call.info.answerLen(), 0u);
  DWORD session = 99;
  ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
  EXPECT_EQ(call.info.sessionId(), session);
  EXPECT_EQ(call.message, message);
  EXPECT_TRUE(call.portHandle) << "a connected port is handed back";
  EXPECT_TRUE(standIn.PortClosed(0)) << "and closed at once";

  std::vector<uint8_t> dataArea(call.info.data(), call.info.data() + ipc::kInlineLimit);
  std::vector<uint8_t> expected(ipc::kInlineLimit, 0);
  if (length <= ipc::kInlineLimit) {
    std::copy(message.begin(), message.end(), expected.begin());
    EXPECT_FALSE(call.clientViewGiven);
    EXPECT_FALSE(call.serverViewGiven);
  } else {
    ASSERT_TRUE(call.clientViewGiven);
    ASSERT_TRUE(call.serverViewGiven);
    EXPECT_EQ(call.clientView.Length, 24u);
    EXPECT_TRUE(call.clientView.SectionHandle);
    EXPECT_EQ(call.clientView.SectionOffset, 0u);
    EXPECT_EQ(call.clientView.ViewSize, length);
    EXPECT_EQ(call.clientView.ViewBase, nullptr);
    EXPECT_EQ(call.clientView.ViewRemoteBase, nullptr);
    EXPECT_EQ(call.serverView.Length, 12u);
    EXPECT_EQ(call.serverView.ViewSize, length);
    EXPECT_EQ(call.serverView.ViewBase, nullptr);
    // The system rounds a section up to whole pages; the view size says the exact length.
    EXPECT_EQ(call.sectionSize, (length + 4095) / 4096 * 4096);
  }
  EXPECT_EQ(dataArea, expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, PortMessageLengthTest,
                         ::testing::Values(0u, 4u, 240u, 241u, 70000u));

TEST(PortCarrierTest, CountersOfAProcessStartAtZeroAndStepByOne) {
  // Under CTest each test is a process of its own, so the counter map is made here; run by hand
  // after other port sends, the counter goes on from where they left it.
  uint32_t before = 0;
  if (win::UniqueKernelHandle map = win::UniqueKernelHandle(::OpenFileMappingA(
          FILE_MAP_READ, FALSE, ipc::CounterMapName(::GetCurrentProcessId()).c_str()))) {
    win::UniqueMappedView view(::MapViewOfFile(map.get(), FILE_MAP_READ, 0, 0, 4));
    ASSERT_TRUE(view);
    before = *static_cast<const uint32_t*>(view.get());
  }
  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("counter");
  standIn.Open(channel, {});
  ASSERT_TRUE(SendByPort(channel, Pattern(4)));
  ASSERT_TRUE(SendByPort(channel, Pattern(300)));
  const auto calls = standIn.Connects();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].info.counter(), before);
  EXPECT_EQ(calls[1].info.counter(), before + 1);
}

// The counter map's name is known to every process of the session: one made first, committed
// or only reserved (on Windows a touch of that view is an access violation), is no counter.
class PortCounterSquatTest : public ::testing::TestWithParam<bool> {};

TEST_P(PortCounterSquatTest, ACounterMapMadeFirstBySomeoneElseCountsAsNoCounter) {
  const bool reserved = GetParam();
  const std::string name = ipc::CounterMapName(::GetCurrentProcessId());
  if (win::UniqueKernelHandle(::OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()))) {
    GTEST_SKIP() << "this process made its counter map already (run by hand after port sends)";
  }
  const win::UniqueKernelHandle squatted(
      ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                           PAGE_READWRITE | (reserved ? SEC_RESERVE : 0), 0, 4096, name.c_str()));
  ASSERT_TRUE(squatted);
  const win::UniqueMappedView view(::MapViewOfFile(squatted.get(), FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_TRUE(view);
  auto* value = static_cast<volatile uint32_t*>(view.get());
  if (!reserved) *value = 77;

  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("squat");
  standIn.Open(channel, {});
  ASSERT_TRUE(SendByPort(channel, Pattern(4)));
  ASSERT_TRUE(SendByPort(channel, Pattern(4)));
  const auto calls = standIn.Connects();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].info.counter(), 0u);
  EXPECT_EQ(calls[1].info.counter(), 0u);
  // Wine lets a reserved page be read (Windows would not): nothing was written into it.
  if (!reserved || testenv::IsWine()) {
    EXPECT_EQ(*value, reserved ? 0u : 77u);
  }
}

INSTANTIATE_TEST_SUITE_P(Squatters, PortCounterSquatTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ReservedOnly" : "Committed";
                         });

struct Outcome {
  const char* label;
  bool portExists;
  DWORD receiverProcessId;
  LONG status;
  bool delivered;
};

// Names the case in test listings (gtest would print the raw bytes).
void PrintTo(const Outcome& c, std::ostream* os) { *os << c.label; }

class PortOutcomeTest : public ::testing::TestWithParam<Outcome> {};

TEST_P(PortOutcomeTest, TheReceiversProcessIdDecidesWhateverTheStatus) {
  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("outcome");
  if (GetParam().portExists) {
    testenv::PortStandIn::Port port;
    port.receiverProcessId = GetParam().receiverProcessId;
    port.status = GetParam().status;
    standIn.Open(channel, port);
  }
  EXPECT_EQ(SendByPort(channel, Pattern(8)), GetParam().delivered);
  ASSERT_EQ(standIn.Connects().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Replies, PortOutcomeTest,
                         ::testing::Values(Outcome{"NoPort", false, 0, 0, false},
                                           Outcome{"AcceptedWithProcessId", true, 1234, 0, true},
                                           Outcome{"RefusedWithProcessId", true, 1234,
                                                   testenv::kStatusPortConnectionRefused, true},
                                           Outcome{"AcceptedWithoutProcessId", true, 0, 0, false},
                                           Outcome{"RefusedWithoutProcessId", true, 0,
                                                   testenv::kStatusPortConnectionRefused, false}),
                         [](const ::testing::TestParamInfo<Outcome>& info) {
                           return info.param.label;
                         });

TEST(PortCarrierTest, WinesOwnConnectCallFindsNoPort) {
  // No stand-in: the real entry, which Wine answers with "not implemented".
  app::StartUp();
  ASSERT_TRUE(win::Entries().ntConnectPort);
  uint8_t answer[4] = {};
  EXPECT_FALSE(ipc::DeliverBy(ipc::Carrier::Port, UniqueChannel("real"), "abcd", 4, answer, 4,
                              30000, false));
}

// Generous: the figure itself is reported by the test's own duration.
constexpr double kSlackMs = 10000;

TEST(PortCarrierTest, AReceiverThatNeverCompletesTheConnectGivesFalseWithinTheBound) {
  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("hung");
  testenv::PortStandIn::Port port;
  port.holdsCalls = true;
  standIn.Open(channel, port);
  const double start = testenv::NowMs();
  auto sent =
      std::async(std::launch::async, [&channel] { return SendByPort(channel, Pattern(8)); });
  const bool returned =
      sent.wait_for(std::chrono::milliseconds(static_cast<int>(ipc::kHandOverWaitMs + kSlackMs))) ==
      std::future_status::ready;
  const double elapsedMs = testenv::NowMs() - start;
  // The held call now returns into a sender that has gone: its late port must be closed.
  standIn.ReleaseHeldCalls();
  ASSERT_TRUE(returned) << "still waiting for the connect";
  EXPECT_FALSE(sent.get());
  EXPECT_GE(elapsedMs, ipc::kHandOverWaitMs - 100.0);
  ASSERT_TRUE(standIn.AllCallsReturned(10000));
  ASSERT_EQ(standIn.Connects().size(), 1u);
  for (int i = 0; i < 1000 && !standIn.PortClosed(0); ++i) ::Sleep(10);
  EXPECT_TRUE(standIn.PortClosed(0));
}

void Echo(std::string_view, const uint8_t* message, uint32_t length, uint8_t* answer,
          uint32_t answerLen) {
  for (uint32_t i = 0; i < answerLen && i < length; ++i) answer[i] = message[i];
}

// The answer objects are named with the receiver's process id; a process that cannot be
// opened (the id 0xFFFFFFF0 no process has) leaves the objects alone to watch.
class PortAnswerTest : public ::testing::TestWithParam<DWORD> {};

TEST_P(PortAnswerTest, AnAnswerComesBackThroughTheObjectsNamedWithTheProcessId) {
  if (GetParam()) {
    ASSERT_FALSE(win::UniqueKernelHandle(::OpenProcess(SYNCHRONIZE, FALSE, GetParam())));
  }
  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("answer");
  testenv::PortStandIn::Port port;
  port.receiverProcessId = GetParam() ? GetParam() : ::GetCurrentProcessId();
  port.handler = Echo;
  standIn.Open(channel, port);
  const std::vector<uint8_t> message = Pattern(300);
  std::vector<uint8_t> answer(6, 0xCC);
  ASSERT_TRUE(SendByPort(channel, message, answer.data(), 6));
  EXPECT_EQ(answer, std::vector<uint8_t>(message.begin(), message.begin() + 6));
  EXPECT_EQ(standIn.Connects().at(0).info.answerLen(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Receivers, PortAnswerTest, ::testing::Values(0u, 0xFFFFFFF0u),
                         [](const ::testing::TestParamInfo<DWORD>& info) {
                           return info.param ? "ProcessCannotBeOpened" : "OwnProcess";
                         });

TEST(PortCarrierTest, AReceiverWhoseEndCannotBeSeenGetsABoundedAnswerWait) {
  // Its process cannot be opened: had it ended after taking the message up, an unlimited wait
  // on the answer events alone would never end.
  const win::UniqueKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  testenv::PortStandIn standIn;
  const std::string channel = UniqueChannel("mute");
  testenv::PortStandIn::Port port;
  port.receiverProcessId = 0xFFFFFFF0;
  const HANDLE releaseEvent = release.get();
  port.handler = [releaseEvent](std::string_view, const uint8_t*, uint32_t, uint8_t*, uint32_t) {
    ::WaitForSingleObject(releaseEvent, 60000);
  };
  standIn.Open(channel, port);
  const double start = testenv::NowMs();
  auto sent = std::async(std::launch::async, [&channel] {
    uint8_t answer[4] = {};
    return ipc::DeliverBy(ipc::Carrier::Port, channel, "abcd", 4, answer, 4, INFINITE, false);
  });
  const auto limit = ipc::kFirstAnswerWaitMs + ipc::kUnwatchedAnswerWaitMs + kSlackMs;
  const bool returned = sent.wait_for(std::chrono::milliseconds(static_cast<int>(limit))) ==
                        std::future_status::ready;
  const double elapsedMs = testenv::NowMs() - start;
  ::SetEvent(releaseEvent);
  ASSERT_TRUE(returned) << "still waiting for the answer";
  EXPECT_FALSE(sent.get());
  EXPECT_GE(elapsedMs, ipc::kUnwatchedAnswerWaitMs - 100.0);
}

}  // namespace
