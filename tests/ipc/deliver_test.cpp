// DeliverIpcMessage with the carrier the system chooses: the pipe in xp32 (Windows XP, 32-bit)
// with an in-process receiver, the port in win64 (Windows 7, x64) with the stand-in receiver.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "ipc/carriers.h"
#include "ipc/deliver.h"
#include "ipc/process_user.h"
#include "ipc/receiver/receiver.h"
#include "support/port_stand_in.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace {

std::string UniqueChannel(const char* what) {
  static int n = 0;
  return std::string("tw6test_deliver_") + what + "_" + std::to_string(::GetCurrentProcessId()) +
         "_" + std::to_string(++n);
}

// The receiver of the chosen carrier, serving handler.
class ChosenReceiver {
 public:
  ChosenReceiver(const std::string& channel, ipc::TIpcCallback handler) {
    if (ipc::ChosenCarrier() == ipc::Carrier::Port) {
      standIn_ = std::make_unique<testenv::PortStandIn>();
      testenv::PortStandIn::Port port;
      port.handler = std::move(handler);
      standIn_->Open(channel, port);
      ok_ = true;
    } else {
      pipe_ = std::make_unique<ipc::PipeReceiver>(channel, std::move(handler));
      ok_ = pipe_->Start();
    }
  }
  bool ok() const { return ok_; }

 private:
  std::unique_ptr<testenv::PortStandIn> standIn_;
  std::unique_ptr<ipc::PipeReceiver> pipe_;
  bool ok_ = false;
};

TEST(CarrierChoiceTest, PortOnWindows7x64PipeOnXp32) {
  app::StartUp();
  EXPECT_EQ(ipc::NativeSystemIsX64(), testenv::IsWow64());
  EXPECT_EQ(ipc::ChosenCarrier(),
            testenv::PipeCarrierSystem() ? ipc::Carrier::Pipe : ipc::Carrier::Port);
}

// Windows 2000 has neither entry: no x64 there, and every process runs in session 0.
TEST(CarrierChoiceTest, WithoutTheLaterEntriesTheSystemIsOlderAndSessionZero) {
  app::StartUp();
  DWORD session = 0;
  ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
  EXPECT_EQ(ipc::OwnSessionId(), session);
  {
    ScopedSeams<win::EntryPoints> entries(win::Entries());
    entries->getNativeSystemInfo = nullptr;
    entries->processIdToSessionId = nullptr;
    EXPECT_FALSE(ipc::NativeSystemIsX64());
    EXPECT_EQ(ipc::OwnSessionId(), 0u);
  }
  EXPECT_EQ(ipc::NativeSystemIsX64(), testenv::IsWow64());
}

struct LastErrorCase {
  const char* label;
  bool receiver;
  uint32_t answerLen;
  bool delivered;
};

// Names the case in test listings (gtest would print the raw bytes).
void PrintTo(const LastErrorCase& c, std::ostream* os) { *os << c.label; }

class LastErrorTest : public ::testing::TestWithParam<LastErrorCase> {};

TEST_P(LastErrorTest, TheThreadsLastErrorIsKept) {
  app::StartUp();
  const std::string channel = UniqueChannel("lasterror");
  std::unique_ptr<ChosenReceiver> receiver;
  if (GetParam().receiver) {
    receiver = std::make_unique<ChosenReceiver>(
        channel, [](std::string_view, const uint8_t*, uint32_t, uint8_t* answer, uint32_t len) {
          for (uint32_t i = 0; i < len; ++i) answer[i] = 'x';
        });
    ASSERT_TRUE(receiver->ok());
  }
  uint8_t answer[4] = {};
  ::SetLastError(0x1234ABCD);
  const bool delivered =
      ipc::DeliverIpcMessage(channel, "abcd", 4, answer, GetParam().answerLen, INFINITE, false);
  EXPECT_EQ(::GetLastError(), 0x1234ABCDu);
  EXPECT_EQ(delivered, GetParam().delivered);
}

INSTANTIATE_TEST_SUITE_P(Paths, LastErrorTest,
                         ::testing::Values(LastErrorCase{"Delivered", true, 0, true},
                                           LastErrorCase{"Answered", true, 4, true},
                                           LastErrorCase{"NoReceiver", false, 0, false},
                                           LastErrorCase{"NoReceiverAnswer", false, 4, false}),
                         [](const ::testing::TestParamInfo<LastErrorCase>& info) {
                           return info.param.label;
                         });

// Nested sends on one thread: while send k waits for its answer it dispatches a window message
// whose procedure makes send k+1. The receiver holds answer k back until send k+1 has begun.
class PumpedSendTest : public ::testing::Test {
 protected:
  static constexpr UINT kSendAgain = WM_APP + 6;
  static constexpr UINT kMarkDispatched = WM_APP + 7;
  static PumpedSendTest* self;

  void SetUp() override {
    app::StartUp();
    self = this;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &PumpedSendTest::Procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tw6PumpedSendTest";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    for (auto& e : begun_) e.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  void TearDown() override {
    for (auto& e : begun_) ::SetEvent(e.get());
    ::DestroyWindow(window_);
    self = nullptr;
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == kMarkDispatched) ::SetEvent(self->dispatched_);
    if (message != kSendAgain) return ::DefWindowProcW(window, message, w, l);
    self->Send(static_cast<int>(w));
    return 0;
  }

  void Send(int level) {
    ::SetEvent(begun_[level].get());
    const uint8_t message = static_cast<uint8_t>(level);
    uint8_t answer = 0;
    results_[level] =
        ipc::DeliverIpcMessage(channel_, &message, 1, &answer, 1, 30000, true) ? 1 : 0;
    answers_[level] = answer;
  }

  // What the receiver met at one level.
  struct Served {
    bool answerReached = false;
    DWORD postError = ~0u;  // 0: posted
    bool nextBegun = false;
  };

  // Runs on the receiver's side for message `level`: asks the sender's thread for the next
  // level and answers only once it has begun.
  void Serve(const uint8_t* message, uint8_t* answer) {
    const int level = message[0];
    Served& served = served_[level];
    served.answerReached = answer != nullptr;
    served.postError = ::PostMessageW(window_, kSendAgain, level + 1, 0) ? 0 : ::GetLastError();
    served.nextBegun = ::WaitForSingleObject(begun_[level + 1].get(), 30000) == WAIT_OBJECT_0;
    if (answer) answer[0] = static_cast<uint8_t>(0x80 + level);
  }

  HWND window_ = nullptr;
  HANDLE dispatched_ = nullptr;
  std::string channel_ = UniqueChannel("nesting");
  win::UniqueKernelHandle begun_[10];
  int results_[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  uint8_t answers_[10] = {};
  Served served_[10];
};

PumpedSendTest* PumpedSendTest::self = nullptr;

TEST_F(PumpedSendTest, TheEighthNestedSendOnAThreadGivesFalse) {
  ASSERT_TRUE(window_) << ::GetLastError();
  {
    ChosenReceiver receiver(
        channel_, [this](std::string_view, const uint8_t* message, uint32_t, uint8_t* answer,
                         uint32_t) { Serve(message, answer); });
    ASSERT_TRUE(receiver.ok());
    Send(1);
  }  // the receiver's threads have ended: what they recorded is complete
  for (int level = 1; level <= 7; ++level) {
    // The receiver's view first: it names the step that broke when a result below is wrong.
    EXPECT_TRUE(served_[level].answerReached) << level;
    EXPECT_EQ(served_[level].postError, 0u) << level;
    EXPECT_TRUE(served_[level].nextBegun) << level;
    EXPECT_EQ(results_[level], 1) << level;
    EXPECT_EQ(answers_[level], 0x80 + level) << level;
  }
  EXPECT_EQ(results_[8], 0);
  EXPECT_EQ(results_[9], -1);
}

// A quit request met while dispatching belongs to the caller's own message loop: it must still
// be there when the send returns.
TEST_F(PumpedSendTest, AQuitRequestTakenWhilePumpingIsPostedAgain) {
  ASSERT_TRUE(window_) << ::GetLastError();
  win::UniqueKernelHandle dispatched(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  dispatched_ = dispatched.get();
  ChosenReceiver receiver(
      channel_, [&](std::string_view, const uint8_t*, uint32_t, uint8_t* answer, uint32_t) {
        ::WaitForSingleObject(dispatched.get(), 30000);
        if (answer) answer[0] = 1;  // unreachable answer objects fail the send, not the process
      });
  ASSERT_TRUE(receiver.ok());
  ::PostMessageW(window_, kMarkDispatched, 0, 0);
  ::PostQuitMessage(7);
  uint8_t answer = 0;
  EXPECT_TRUE(ipc::DeliverIpcMessage(channel_, "q", 1, &answer, 1, 30000, true));
  EXPECT_EQ(answer, 1);
  MSG message = {};
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 7u);
}

}  // namespace
