// Whom the guard's sender writes to, with real processes and kernel objects: a queue header
// names its owner and a pipe end in it, and the sender must write only into a guard's pipe, and
// only through a view that cannot fault. Then whom NotifyGuard addresses when the program's own
// user is not the guard's (Wine has one user: the names are seen through the user-name seam).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "ipc/carriers.h"
#include "ipc/deliver.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/process_user.h"
#include "ipc/records.h"
#include "support/child_process.h"
#include "support/port_stand_in.h"
#include "support/scoped_seams.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "support/test_guard.h"
#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace {

std::wstring RealUser() { return apptools2::GetCurrentUserName(); }
std::wstring SeenAsSystem() { return L"SYSTEM"; }
std::wstring SeenAsBob(HANDLE) { return L"Bob"; }

std::vector<uint8_t> Frame995(uint32_t counter) {
  std::vector<uint8_t> bytes(ipc::kFrameHeaderSize + 4);
  ipc::PutU32(&bytes[0], 4);
  ipc::PutU32(&bytes[4], counter);
  ipc::PutU32(&bytes[8], ipc::OwnSessionId());
  ipc::PutU32(&bytes[12], 0);
  ipc::PutU32(&bytes[16], IPCClient::GuardMessageCode);
  return bytes;
}

// The own user's queue, made as a forger would: its header names a child process started under
// ownerImage, into which the write end of a real pipe has been duplicated. The map is backed by
// the page file or by a real file.
class ForgedQueue {
 public:
  ForgedQueue(const std::wstring& ownerImage, bool fileBacked)
      : channel_(IPCClient::GuardChannelName(RealUser())) {
    owner_ = testenv::StartSleeperAs(folder_ / ownerImage);
    ::CreatePipe(read_.put(), write_.put(), nullptr, 1 << 16);
    HANDLE inOwner = nullptr;
    if (!owner_.started() ||
        !::DuplicateHandle(::GetCurrentProcess(), write_.get(), owner_.handle(), &inOwner, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
      return;
    }
    header_.assign(ipc::kQueueHeaderSize, 0x5A);
    ipc::QueueHeader::SetOwnerProcessId(header_.data(), owner_.id());
    ipc::QueueHeader::SetPipeHandle(header_.data(),
                                    static_cast<uint32_t>(reinterpret_cast<uintptr_t>(inOwner)));
    ipc::QueueHeader::SetCounter(header_.data(), 7);
    mutex_ = ipc::CreateNamedMutex(ipc::QueueMutexName(channel_));
    HANDLE backing = INVALID_HANDLE_VALUE;
    if (fileBacked) {
      file_.reset(::CreateFileW(filePath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      DWORD written = 0;
      if (!file_ ||
          !::WriteFile(file_.get(), header_.data(), ipc::kQueueHeaderSize, &written, nullptr)) {
        return;
      }
      backing = file_.get();
    }
    const std::string name = ipc::QueueMapName(channel_);
    for (const std::string& tried : {ipc::WithNamespacePrefix(name), name}) {
      if (!map_) {
        map_.reset(::CreateFileMappingW(backing, nullptr, PAGE_READWRITE, 0, ipc::kQueueHeaderSize,
                                        ipc::WidenBytes(tried).c_str()));
      }
    }
    view_.reset(::MapViewOfFile(map_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (view_ && !fileBacked) std::memcpy(view_.get(), header_.data(), ipc::kQueueHeaderSize);
  }

  bool ok() const { return view_ && read_; }
  const std::string& channel() const { return channel_; }
  uint32_t Counter() const {
    return ipc::QueueHeader::Counter(static_cast<const uint8_t*>(view_.get()));
  }
  std::vector<uint8_t> ReadPipe() { return testenv::ReadAvailable(read_.get()); }
  // The file's bytes, read past the map once it is closed.
  std::string FileBytes() {
    view_.reset();
    map_.reset();
    file_.reset();
    return testenv::ReadFileText(filePath_);
  }
  std::string OriginalBytes() const { return std::string(header_.begin(), header_.end()); }

 private:
  testenv::ScratchFolder folder_{L"forged queue"};
  const std::wstring filePath_ = folder_ / L"queue.bin";
  std::string channel_;
  testenv::ChildProcess owner_;
  win::UniqueFileHandle read_, write_, file_;
  win::UniqueKernelHandle mutex_, map_;
  win::UniqueMappedView view_;
  std::vector<uint8_t> header_;
};

bool SendToGuard(const std::string& channel) {
  return ipc::DeliverBy(ipc::Carrier::Pipe, channel, "\xe3\x03\x00\x00", 4, nullptr, 0, INFINITE,
                        false, IPCClient::IsGuardOfChannel);
}

struct OwnerCase {
  const char* name;
  const wchar_t* ownerImage;
  bool ownerSeenAsBob;
  bool fileBacked;
  bool sectionQuery;  // NtQuerySection there, or its entry nulled
  bool written;
};

class GuardOwnerTest : public ::testing::TestWithParam<OwnerCase> {
 protected:
  void SetUp() override { app::StartUp(); }
};

TEST_P(GuardOwnerTest, OnlyAGuardOfTheChannelsUserThroughAMemoryViewIsWritten) {
  const OwnerCase& c = GetParam();
  ForgedQueue queue(c.ownerImage, c.fileBacked);
  ASSERT_TRUE(queue.ok());
  ScopedSeams<win::EntryPoints> entries(win::Entries());
  if (!c.sectionQuery) entries->ntQuerySection = nullptr;
  ScopedSeams<ipc::ProcessUserSeams> users(ipc::TestProcessUserSeams());
  if (c.ownerSeenAsBob) users->processUserName = SeenAsBob;

  EXPECT_EQ(SendToGuard(queue.channel()), c.written);
  EXPECT_EQ(queue.ReadPipe(), c.written ? Frame995(8) : std::vector<uint8_t>{});
  // A header in a view that may be touched counts the send, taken or not.
  EXPECT_EQ(queue.Counter(), c.fileBacked && c.sectionQuery ? 7u : 8u);
  if (c.fileBacked && !c.written) {
    EXPECT_EQ(queue.FileBytes(), queue.OriginalBytes());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Owners, GuardOwnerTest,
    ::testing::Values(
        OwnerCase{"TheGuard", L"TW6Guard.exe", false, false, true, true},
        OwnerCase{"TheGuardInOtherCase", L"tw6guard.EXE", false, false, true, true},
        OwnerCase{"NotTheGuard", L"TW6Guard.exe.exe", false, false, true, false},
        OwnerCase{"AnotherProgram", L"TW6.exe", false, false, true, false},
        OwnerCase{"TheGuardOfAnotherUser", L"TW6Guard.exe", true, false, true, false},
        OwnerCase{"FileBacked", L"TW6Guard.exe", false, true, true, false},
        OwnerCase{"NoSectionQuery", L"TW6Guard.exe", false, false, false, true},
        // Without the query the file's view is written, through calls that cannot fault.
        OwnerCase{"FileBackedNoSectionQuery", L"TW6Guard.exe", false, true, false, true}),
    [](const ::testing::TestParamInfo<OwnerCase>& info) { return info.param.name; });

// The answer map is the sender's to make: one of its name made first, here over a file, is
// someone else's and is neither touched nor answered through.
TEST_F(GuardOwnerTest, AnAnswerMapMadeFirstBySomeoneElseIsNotUsed) {
  ForgedQueue queue(L"TW6Guard.exe", false);
  ASSERT_TRUE(queue.ok());
  testenv::ScratchFolder folder(L"answer squat");
  const std::wstring path = folder / L"answer.bin";
  testenv::WriteFileText(path, std::string(16, 'A'));
  win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::string name = ipc::AnswerMapName(ipc::AnswerBaseName(queue.channel(), 8));
  win::UniqueKernelHandle squat;
  for (const std::string& tried : {ipc::WithNamespacePrefix(name), name}) {
    if (!squat) {
      squat.reset(::CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, 0,
                                       ipc::WidenBytes(tried).c_str()));
    }
  }
  ASSERT_TRUE(squat);
  char answer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_FALSE(
      ipc::DeliverBy(ipc::Carrier::Pipe, queue.channel(), "ping", 4, answer, 4, 1000, false));
  EXPECT_TRUE(queue.ReadPipe().empty());
  EXPECT_EQ(std::string(answer, 4), "xxxx");
  squat.reset();
  file.reset();
  EXPECT_EQ(testenv::ReadFileText(path), std::string(16, 'A'));
}

struct UsersCase {
  const char* name;
  std::wstring (*ownUserName)();
  std::wstring (*guardUserName)(HANDLE);
  bool guardOwnsBobsChannel;
};

class NotifyGuardUsersTest : public ::testing::TestWithParam<UsersCase> {
 protected:
  void SetUp() override { app::StartUp(); }
};

// The guard (tw6-test-guard.exe as TW6Guard.exe) owns its user's pipe side; where the system
// uses the port, a stand-in takes the port side of the same channel.
TEST_P(NotifyGuardUsersTest, TheGuardHears995OnceOnItsUsersChannel) {
  const UsersCase& c = GetParam();
  const std::wstring guardUser = c.guardOwnsBobsChannel ? L"Bob" : RealUser();
  testenv::TestGuard guard(true, guardUser);
  ASSERT_TRUE(guard.ready());
  const std::string ownChannel =
      IPCClient::GuardChannelName(c.ownUserName ? c.ownUserName() : RealUser());
  testenv::PortStandIn standIn;
  standIn.Open(guard.channel(), {});
  ScopedSeams<ipc::ProcessUserSeams> users(ipc::TestProcessUserSeams());
  if (c.ownUserName) users->ownUserName = c.ownUserName;
  if (c.guardUserName) users->processUserName = c.guardUserName;

  EXPECT_TRUE(IPCClient::NotifyGuard());

  std::vector<std::string> addressed = {ownChannel};
  if (ownChannel != guard.channel()) addressed.push_back(guard.channel());
  if (testenv::PipeCarrierSystem()) {
    ASSERT_TRUE(guard.Sync());
    EXPECT_EQ(guard.Lines(), (std::vector<std::string>{guard.channel() + " 4 e3030000",
                                                       guard.channel() + " 4 73796e63"}));
    EXPECT_TRUE(standIn.Connects().empty());
  } else {
    std::vector<std::wstring> ports, expected;
    for (const testenv::PortConnect& call : standIn.Connects()) ports.push_back(call.portName);
    for (const std::string& channel : addressed) {
      expected.push_back(ipc::WidenBytes(ipc::PortName(channel)));
    }
    EXPECT_EQ(ports, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Users, NotifyGuardUsersTest,
    ::testing::Values(UsersCase{"OwnUserOfTheGuard", nullptr, nullptr, false},
                      UsersCase{"OwnUserSeenAsSystem", SeenAsSystem, nullptr, false},
                      UsersCase{"GuardSeenAsAnotherUser", nullptr, SeenAsBob, true}),
    [](const ::testing::TestParamInfo<UsersCase>& info) { return info.param.name; });

}  // namespace
