// The pipe carrier with real kernel objects, in both prefixes: reached directly where the
// system would choose the port.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "ipc/deliver.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/process_user.h"
#include "ipc/receiver/receiver.h"
#include "ipc/records.h"
#include "ipc/waits.h"
#include "support/child_process.h"
#include "support/mutex_keeper.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

std::string UniqueChannel(const char* what) {
  static int n = 0;
  return std::string("tw6test_pipe_") + what + "_" + std::to_string(::GetCurrentProcessId()) + "_" +
         std::to_string(++n);
}

bool SendByPipe(const std::string& channel, const void* message, uint32_t length,
                void* answer = nullptr, uint32_t answerLen = 0, DWORD timeout = 30000) {
  return ipc::DeliverBy(ipc::Carrier::Pipe, channel, message, length, answer, answerLen, timeout,
                        false);
}

// A receiver made by hand from the documented layout, to see the exact bytes a sender writes.
class HandMadeQueue {
 public:
  explicit HandMadeQueue(const std::string& channel, uint32_t counter) {
    mutex_ = ipc::CreateNamedMutex(ipc::QueueMutexName(channel));
    map_ = ipc::CreateNamedMap(ipc::QueueMapName(channel), ipc::kQueueHeaderSize);
    view_.reset(::MapViewOfFile(map_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ::CreatePipe(read_.put(), write_.put(), nullptr, 1 << 20);
    if (!view_) return;
    header_ = static_cast<uint8_t*>(view_.get());
    for (uint32_t i = 0; i < ipc::kQueueHeaderSize; ++i)
      header_[i] = static_cast<uint8_t>(0xA0 + i);
    ipc::QueueHeader::SetOwnerProcessId(header_, ::GetCurrentProcessId());
    ipc::QueueHeader::SetPipeHandle(
        header_, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(write_.get())));
    ipc::QueueHeader::SetCounter(header_, counter);
  }
  bool ok() const { return header_ && read_; }
  void CloseMutex() { mutex_.reset(); }
  uint8_t* header() { return header_; }
  std::vector<uint8_t> ReadAvailable() { return testenv::ReadAvailable(read_.get()); }

 private:
  win::UniqueKernelHandle mutex_, map_;
  win::UniqueMappedView view_;
  win::UniqueFileHandle read_, write_;
  uint8_t* header_ = nullptr;
};

TEST(PipeCarrierTest, CounterOf41Carries42AndTheFrameIsExact) {
  const std::string channel = UniqueChannel("frame");
  HandMadeQueue queue(channel, 41);
  ASSERT_TRUE(queue.ok());
  std::vector<uint8_t> before(queue.header(), queue.header() + ipc::kQueueHeaderSize);

  ASSERT_TRUE(SendByPipe(channel,
                         "\xe3\x03\x00\x00"
                         "ab",
                         6));

  DWORD session = 99;
  ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
  std::vector<uint8_t> expected = {6, 0, 0, 0, 42, 0, 0, 0};
  for (int i = 0; i < 4; ++i) expected.push_back(static_cast<uint8_t>(session >> (8 * i)));
  expected.insert(expected.end(), {0, 0, 0, 0, 0xe3, 0x03, 0x00, 0x00, 'a', 'b'});
  EXPECT_EQ(queue.ReadAvailable(), expected);

  EXPECT_EQ(ipc::QueueHeader::Counter(queue.header()), 42u);
  // Every other byte of the header belongs to the receiver and stays as it was.
  ipc::QueueHeader::SetCounter(before.data(), 42);
  EXPECT_EQ(std::vector<uint8_t>(queue.header(), queue.header() + ipc::kQueueHeaderSize), before);
}

TEST(PipeCarrierTest, NoReceiverGivesFalseAndLeavesNoMutex) {
  const std::string channel = UniqueChannel("none");
  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  EXPECT_FALSE(ipc::OpenNamedMutex(ipc::QueueMutexName(channel), SYNCHRONIZE));
  EXPECT_FALSE(
      ::OpenMutexW(SYNCHRONIZE, FALSE, ipc::WidenBytes(ipc::QueueMutexName(channel)).c_str()));
}

TEST(PipeCarrierTest, AHeaderWhoseOwnerOrPipeIsGoneGivesFalseAndFreesTheMutex) {
  const std::string channel = UniqueChannel("stale");
  HandMadeQueue queue(channel, 7);
  ASSERT_TRUE(queue.ok());
  ipc::QueueHeader::SetPipeHandle(queue.header(), 0x7FFC);  // no such handle
  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  ipc::QueueHeader::SetOwnerProcessId(queue.header(), 0);
  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  EXPECT_EQ(ipc::QueueHeader::Counter(queue.header()), 9u);
  // The mutex was released: another thread can take it at once.
  win::UniqueKernelHandle mutex = ipc::CreateNamedMutex(ipc::QueueMutexName(channel));
  std::thread other([&] {
    const DWORD woken = ::WaitForSingleObject(mutex.get(), 0);
    EXPECT_EQ(woken, WAIT_OBJECT_0);
    if (woken == WAIT_OBJECT_0) ::ReleaseMutex(mutex.get());
  });
  other.join();
}

// Any process of the session can make the queue map first and name a handle of any process,
// here a file that a child holds open for writing: the elevated sender must not write into it.
TEST(PipeCarrierTest, AForgedHeaderNamingAFileOfAnotherProcessWritesNothing) {
  testenv::ScratchFolder scratch(L"forged");
  const std::wstring path = scratch / L"victim.txt";
  testenv::WriteFileText(path, "untouched");
  testenv::ChildProcess holder =
      testenv::ChildProcess::Start(testenv::Quoted(testenv::BuiltProgram(L"tw6-sleeper.exe")));
  ASSERT_TRUE(holder.started());
  HANDLE fileInHolder = nullptr;
  {
    win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), file.get(), holder.handle(), &fileInHolder,
                                  0, FALSE, DUPLICATE_SAME_ACCESS));
  }
  const std::string channel = UniqueChannel("forged");
  HandMadeQueue queue(channel, 0);
  ASSERT_TRUE(queue.ok());
  ipc::QueueHeader::SetOwnerProcessId(queue.header(), holder.id());
  ipc::QueueHeader::SetPipeHandle(queue.header(),
                                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(fileInHolder)));

  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  holder.Kill();
  EXPECT_EQ(testenv::ReadFileText(path), "untouched");
  EXPECT_TRUE(queue.ReadAvailable().empty());
}

TEST(PipeCarrierTest, AQueueMapSmallerThanTheHeaderGivesFalse) {
  const std::string channel = UniqueChannel("small");
  win::UniqueKernelHandle map = ipc::CreateNamedMap(ipc::QueueMapName(channel), 16);
  ASSERT_TRUE(map);
  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
}

TEST(PipeCarrierTest, AQueueMutexKeptElsewhereGivesFalseWithinTheBoundAndTheSendStaysGivenUp) {
  // Any account may open the queue mutex: one that keeps it must not hold the sender for good.
  const std::string channel = UniqueChannel("kept");
  HandMadeQueue queue(channel, 41);
  ASSERT_TRUE(queue.ok());
  testenv::QueueMutexKeeper keeper(channel);
  ASSERT_TRUE(keeper.kept());
  const DWORD start = ::GetTickCount();
  auto sent = std::async(std::launch::async, [&channel] { return SendByPipe(channel, "late", 4); });
  const bool returned = sent.wait_for(std::chrono::milliseconds(ipc::kHandOverWaitMs + 10000)) ==
                        std::future_status::ready;
  const DWORD elapsedMs = ::GetTickCount() - start;
  keeper.Release();
  ASSERT_TRUE(returned) << "still waiting for the queue mutex";
  EXPECT_FALSE(sent.get());
  EXPECT_GE(elapsedMs + 100, ipc::kHandOverWaitMs);
  // With every other handle closed, the mutex vanishes once the given-up send, which now gets
  // it, has let it go: only then is its chance to write over.
  queue.CloseMutex();
  bool gone = false;
  for (int i = 0; i < 1000 && !gone; ++i) {
    gone = !ipc::OpenNamedMutex(ipc::QueueMutexName(channel), SYNCHRONIZE);
    if (!gone) ::Sleep(10);
  }
  ASSERT_TRUE(gone) << "the given-up send keeps the queue mutex";
  EXPECT_EQ(ipc::QueueHeader::Counter(queue.header()), 41u);
  EXPECT_TRUE(queue.ReadAvailable().empty());
}

// A name squatted with SEC_RESERVE: the view maps, but on Windows its first touch is an access
// violation. Wine lets the page be touched, and reports it reserved all the same.
TEST(PipeCarrierTest, AQueueMapMadeFirstAsReservedOnlyIsTreatedAsAbsent) {
  const std::string channel = UniqueChannel("reserved");
  win::UniqueKernelHandle squatted;
  for (const std::string& name :
       {ipc::WithNamespacePrefix(ipc::QueueMapName(channel)), ipc::QueueMapName(channel)}) {
    if (!squatted) {
      squatted.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                          PAGE_READWRITE | SEC_RESERVE, 0, 4096,
                                          ipc::WidenBytes(name).c_str()));
    }
  }
  ASSERT_TRUE(squatted);
  const win::UniqueMappedView view(::MapViewOfFile(squatted.get(), FILE_MAP_READ, 0, 0, 0));
  ASSERT_TRUE(view);
  MEMORY_BASIC_INFORMATION region = {};
  ASSERT_EQ(::VirtualQuery(view.get(), &region, sizeof(region)), sizeof(region));
  ASSERT_EQ(region.State, static_cast<DWORD>(MEM_RESERVE));

  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  EXPECT_FALSE(ipc::OpenNamedMutex(ipc::QueueMutexName(channel), SYNCHRONIZE));
  if (testenv::IsWine()) {
    const auto* bytes = static_cast<const uint8_t*>(view.get());
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + ipc::kQueueHeaderSize),
              std::vector<uint8_t>(ipc::kQueueHeaderSize, 0));
  }
}

// S-1-5-18 (LocalSystem): a user other than the one Wine runs every process as.
std::vector<uint8_t> AnotherUser(HANDLE) { return {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}; }

TEST(PipeCarrierTest, AReceiverOfAnotherUserGetsNothingInItsRealPipe) {
  const std::string channel = UniqueChannel("user");
  HandMadeQueue queue(channel, 0);
  ASSERT_TRUE(queue.ok());
  {
    ScopedSeams<ipc::ProcessUserSeams> users(ipc::TestProcessUserSeams());
    users->otherProcessUser = AnotherUser;
    EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  }
  EXPECT_TRUE(queue.ReadAvailable().empty());
  // The same receiver as this process's user takes the message.
  EXPECT_TRUE(SendByPipe(channel, "abcd", 4));
  EXPECT_EQ(queue.ReadAvailable().size(), ipc::kFrameHeaderSize + 4);
}

// A connected socket, held by another process: GetFileType calls a socket a pipe.
TEST(PipeCarrierTest, AForgedHeaderNamingASocketOfAnotherProcessWritesNothing) {
  WSADATA wsa;
  ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  struct Cleanup {
    ~Cleanup() { ::WSACleanup(); }
  } cleanup;
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(listener, INVALID_SOCKET);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  const SOCKET accepted = ::accept(listener, nullptr, nullptr);
  ASSERT_NE(accepted, INVALID_SOCKET);
  ::closesocket(listener);

  testenv::ChildProcess holder =
      testenv::ChildProcess::Start(testenv::Quoted(testenv::BuiltProgram(L"tw6-sleeper.exe")));
  ASSERT_TRUE(holder.started());
  HANDLE socketInHolder = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), reinterpret_cast<HANDLE>(client),
                                holder.handle(), &socketInHolder, 0, FALSE, DUPLICATE_SAME_ACCESS));
  const std::string channel = UniqueChannel("socket");
  HandMadeQueue queue(channel, 0);
  ASSERT_TRUE(queue.ok());
  ipc::QueueHeader::SetOwnerProcessId(queue.header(), holder.id());
  ipc::QueueHeader::SetPipeHandle(
      queue.header(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(socketInHolder)));

  EXPECT_FALSE(SendByPipe(channel, "abcd", 4));
  // Once both ends of the client are closed, the peer reads what was written, then the end.
  holder.Kill();
  ::closesocket(client);
  const DWORD bound = 10000;
  ::setsockopt(accepted, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&bound),
               sizeof(bound));
  char received[64];
  EXPECT_EQ(::recv(accepted, received, sizeof(received), 0), 0);
  ::closesocket(accepted);
  EXPECT_EQ(ipc::QueueHeader::Counter(queue.header()), 1u);
}

struct Received {
  std::string name;
  std::vector<uint8_t> message;
  uint32_t answerLen;
};

class PipeReceiverTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PipeReceiverTest, MessagesOfEveryLengthArriveInOrderAndGetTheirAnswers) {
  const uint32_t length = GetParam();
  const std::string channel = UniqueChannel("receiver");
  std::vector<Received> received;
  ipc::PipeReceiver receiver(
      channel, [&](std::string_view name, const uint8_t* message, uint32_t messageLen,
                   uint8_t* answer, uint32_t answerLen) {
        received.push_back(
            {std::string(name), std::vector<uint8_t>(message, message + messageLen), answerLen});
        for (uint32_t i = 0; i < answerLen; ++i) answer[i] = static_cast<uint8_t>(0x50 + i);
      });
  ASSERT_TRUE(receiver.Start());

  std::vector<uint8_t> message(length);
  for (uint32_t i = 0; i < length; ++i) message[i] = static_cast<uint8_t>(i ^ 0x5A);
  ASSERT_TRUE(SendByPipe(channel, message.data(), length));
  uint8_t answer[5];
  std::memset(answer, 0xCC, sizeof(answer));
  ASSERT_TRUE(SendByPipe(channel, message.data(), length, answer, 5));
  EXPECT_EQ(std::vector<uint8_t>(answer, answer + 5),
            (std::vector<uint8_t>{0x50, 0x51, 0x52, 0x53, 0x54}));
  receiver.Stop();

  ASSERT_EQ(received.size(), 2u);
  for (const Received& r : received) {
    EXPECT_EQ(r.name, channel);
    EXPECT_EQ(r.message, message);
  }
  EXPECT_EQ(received[0].answerLen, 0u);
  EXPECT_EQ(received[1].answerLen, 5u);
}

// 70000 bytes do not fit the pipe at once: the sender blocks until the receiver reads.
INSTANTIATE_TEST_SUITE_P(Lengths, PipeReceiverTest, ::testing::Values(0u, 4u, 241u, 70000u));

TEST(PipeReceiverTest, ASecondReceiverCannotTakeAnOwnedChannel) {
  const std::string channel = UniqueChannel("owned");
  ipc::PipeReceiver first(channel, [](auto...) {});
  ipc::PipeReceiver second(channel, [](auto...) {});
  ASSERT_TRUE(first.Start());
  EXPECT_FALSE(second.Start());
  first.Stop();
  EXPECT_FALSE(SendByPipe(channel, "abcd", 4)) << "a stopped receiver's channel takes nothing";
}

TEST(PipeReceiverTest, AnAnswerNotGivenInTimeGivesFalseAndLeavesTheBufferAlone) {
  const std::string channel = UniqueChannel("late");
  win::UniqueKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ipc::PipeReceiver receiver(channel,
                             [&](auto...) { ::WaitForSingleObject(release.get(), INFINITE); });
  ASSERT_TRUE(receiver.Start());
  uint8_t answer[4] = {1, 2, 3, 4};
  EXPECT_FALSE(SendByPipe(channel, "abcd", 4, answer, 4, 50));
  EXPECT_EQ(std::vector<uint8_t>(answer, answer + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  ::SetEvent(release.get());
}

}  // namespace
