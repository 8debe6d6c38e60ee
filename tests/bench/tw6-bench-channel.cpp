// Prints what the guard channel's bounded hand-over costs: a send to a receiver that takes it
// at once (port through the stand-in, pipe through a real receiver), and how long a send takes
// to give up on a receiver that never completes it. tw6-bench-channel [SENDS] (default 500).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

#include "app/startup.h"
#include "ipc/deliver.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/receiver/receiver.h"
#include "support/port_stand_in.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

std::string Channel(const char* what) {
  return std::string("tw6bench_") + what + "_" + std::to_string(::GetCurrentProcessId());
}

bool Send(ipc::Carrier carrier, const std::string& channel) {
  return ipc::DeliverBy(carrier, channel, "\xe3\x03\x00\x00", 4, nullptr, 0, INFINITE, false);
}

void MeasureSends(const char* label, ipc::Carrier carrier, const std::string& channel, int sends) {
  int delivered = 0;
  const double start = testenv::NowMs();
  for (int i = 0; i < sends; ++i) delivered += Send(carrier, channel) ? 1 : 0;
  std::printf("  %-40s %7.3f ms per send (%d of %d delivered)\n", label,
              (testenv::NowMs() - start) / sends, delivered, sends);
}

void MeasureGivingUp(const char* label, ipc::Carrier carrier, const std::string& channel) {
  const double start = testenv::NowMs();
  const bool delivered = Send(carrier, channel);
  std::printf("  %-40s %7.0f ms to %s\n", label, testenv::NowMs() - start,
              delivered ? "deliver (unexpected)" : "give up");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int sends = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 500;
  app::StartUp();
  {
    testenv::PortStandIn standIn;
    const std::string channel = Channel("port");
    standIn.Open(channel, {});
    MeasureSends("port, stand-in accepts at once", ipc::Carrier::Port, channel, sends);

    const std::string hung = Channel("hung");
    testenv::PortStandIn::Port port;
    port.holdsCalls = true;
    standIn.Open(hung, port);
    MeasureGivingUp("port, connect never completes", ipc::Carrier::Port, hung);
  }
  {
    const std::string channel = Channel("pipe");
    ipc::PipeReceiver receiver(
        channel, [](std::string_view, const uint8_t*, uint32_t, uint8_t*, uint32_t) {});
    if (!receiver.Start()) {
      std::printf("could not own the pipe channel\n");
      return 1;
    }
    MeasureSends("pipe, receiver reads at once", ipc::Carrier::Pipe, channel, sends);

    const win::UniqueKernelHandle taken(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const win::UniqueKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread keeper([&] {
      const win::UniqueKernelHandle mutex = ipc::CreateNamedMutex(ipc::QueueMutexName(channel));
      ::WaitForSingleObject(mutex.get(), INFINITE);
      ::SetEvent(taken.get());
      ::WaitForSingleObject(release.get(), INFINITE);
      ::ReleaseMutex(mutex.get());
    });
    ::WaitForSingleObject(taken.get(), INFINITE);
    MeasureGivingUp("pipe, queue mutex kept elsewhere", ipc::Carrier::Pipe, channel);
    ::SetEvent(release.get());
    keeper.join();
  }
  return 0;
}
