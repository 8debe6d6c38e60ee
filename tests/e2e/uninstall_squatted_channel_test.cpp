// -UNINSTALL against a guard channel whose shared map another process made first with
// SEC_RESERVE: the queue map on the pipe carrier, the program's own counter map on the port
// carrier. On Windows the first touch of such a view is an access violation that ends the run;
// the program must leave the map alone and carry on.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "ipc/names.h"
#include "ipc/records.h"
#include "support/child_process.h"
#include "support/family.h"
#include "support/maint.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;
constexpr DWORD kRunWaitMs = 120000;
constexpr DWORD kSquatSize = 4096;

// Made the way a squatter would: under the name the program tries first.
win::UniqueKernelHandle SquatReserved(const std::vector<std::string>& names) {
  win::UniqueKernelHandle map;
  for (const std::string& name : names) {
    if (map) break;
    map.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0,
                                   kSquatSize, ipc::WidenBytes(name).c_str()));
  }
  return map;
}

// The pipe carrier's channel is known before the run: the queue map is squatted, and the
// program runs as it would.
DWORD RunAgainstSquattedQueueMap(win::UniqueKernelHandle& squatted) {
  const std::string channel = IPCClient::GuardChannelName(apptools2::GetCurrentUserName());
  const std::string name = ipc::QueueMapName(channel);
  squatted = SquatReserved({ipc::WithNamespacePrefix(name), name});
  if (!squatted) return static_cast<DWORD>(-1);
  return testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL", kRunWaitMs).exitCode;
}

// The counter map carries the program's own process id: it starts suspended, and the map is
// squatted before it runs.
DWORD RunAgainstSquattedCounterMap(win::UniqueKernelHandle& squatted) {
  std::wstring command = testenv::Quoted(testenv::BuiltMaint()) + L" -UNINSTALL";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started)) {
    return static_cast<DWORD>(-1);
  }
  const win::UniqueKernelHandle process(started.hProcess);
  const win::UniqueKernelHandle thread(started.hThread);
  squatted = SquatReserved({ipc::CounterMapName(started.dwProcessId)});
  if (!squatted) {
    ::TerminateProcess(process.get(), 1);
    return static_cast<DWORD>(-1);
  }
  ::ResumeThread(thread.get());
  DWORD exitCode = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(process.get(), kRunWaitMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    return exitCode;
  }
  ::GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

TEST(UninstallSquattedChannelTest, AReservedOnlyMapIsLeftAloneAndTheRunEndsEverything) {
  testenv::ScratchFolder folder(L"squatted channel");
  std::vector<testenv::ChildProcess> product;
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    product.push_back(testenv::StartSleeperAs(folder / name));
    ASSERT_TRUE(product.back().started());
  }

  win::UniqueKernelHandle squatted;
  const bool pipe = testenv::ThisFamily().carrier == testenv::Carrier::Pipe;
  const DWORD exitCode =
      pipe ? RunAgainstSquattedQueueMap(squatted) : RunAgainstSquattedCounterMap(squatted);
  ASSERT_TRUE(squatted) << "the squatter could not make the map";
  EXPECT_EQ(exitCode, 0u);
  for (testenv::ChildProcess& child : product) EXPECT_EQ(child.Wait(kEndWaitMs), 0u);

  const win::UniqueMappedView view(::MapViewOfFile(squatted.get(), FILE_MAP_READ, 0, 0, 0));
  ASSERT_TRUE(view);
  MEMORY_BASIC_INFORMATION region = {};
  ASSERT_EQ(::VirtualQuery(view.get(), &region, sizeof(region)), sizeof(region));
  EXPECT_EQ(region.State, static_cast<DWORD>(MEM_RESERVE));
  // Wine lets the reserved page be read (Windows would not): nothing was written into it.
  if (testenv::IsWine()) {
    const auto* bytes = static_cast<const uint8_t*>(view.get());
    const size_t touched = pipe ? ipc::kQueueHeaderSize : sizeof(uint32_t);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + touched), std::vector<uint8_t>(touched, 0));
  }
}

// A queue map backed by a file that its maker controls: on removable media or a share the first
// touch of its view can fail with an in-page error, which ends the run. The program leaves it
// alone although its header names a pipe of the product's own TW6Guard.exe.
TEST(UninstallSquattedChannelTest, AFileBackedQueueMapIsLeftAloneAndTheRunEndsEverything) {
  if (testenv::ThisFamily().carrier != testenv::Carrier::Pipe) {
    GTEST_SKIP() << "only the pipe carrier opens the queue map";
  }
  testenv::ScratchFolder folder(L"file-backed channel");
  std::vector<testenv::ChildProcess> product;
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    product.push_back(testenv::StartSleeperAs(folder / name));
    ASSERT_TRUE(product.back().started());
  }
  win::UniqueFileHandle read, write;
  ASSERT_TRUE(::CreatePipe(read.put(), write.put(), nullptr, 1 << 16));
  HANDLE inGuard = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), write.get(), product.back().handle(),
                                &inGuard, 0, FALSE, DUPLICATE_SAME_ACCESS));
  std::string header(ipc::kQueueHeaderSize, '\x5a');
  auto* bytes = reinterpret_cast<uint8_t*>(&header[0]);
  ipc::QueueHeader::SetOwnerProcessId(bytes, product.back().id());
  ipc::QueueHeader::SetPipeHandle(bytes,
                                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(inGuard)));
  const std::wstring path = folder / L"queue.bin";
  testenv::WriteFileText(path, header);
  win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  const std::string channel = IPCClient::GuardChannelName(apptools2::GetCurrentUserName());
  const std::string name = ipc::QueueMapName(channel);
  win::UniqueKernelHandle map;
  for (const std::string& tried : {ipc::WithNamespacePrefix(name), name}) {
    if (!map) {
      map.reset(::CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, 0,
                                     ipc::WidenBytes(tried).c_str()));
    }
  }
  ASSERT_TRUE(map);

  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL", kRunWaitMs).exitCode, 0u);
  for (testenv::ChildProcess& child : product) EXPECT_EQ(child.Wait(kEndWaitMs), 0u);

  map.reset();
  file.reset();
  EXPECT_EQ(testenv::ReadFileText(path), header);
  DWORD available = 1;
  ASSERT_TRUE(::PeekNamedPipe(read.get(), nullptr, 0, nullptr, &available, nullptr));
  EXPECT_EQ(available, 0u);
}

}  // namespace
