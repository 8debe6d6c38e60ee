// tw6-uninstall-steps.exe [RUNS]: seeds the installed product as tw6-sandbox.exe does and runs
// the steps of -UNINSTALL in this process, in the program's order, timing each; prints per step
// the median wall time, the time its sc.exe children lived and the rest, which is the step's
// own. The program's start-up is not among them (tools/bench-commands measures it apart).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/commands.h"
#include "driver/Treiber_IFS.h"
#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "process/lookup.h"
#include "shell/contextmenusupport.h"
#include "support/sandbox.h"
#include "support/child_times.h"
#include "support/test_env.h"
#include "system/command_runner.h"
#include "win/critical_section.h"
#include "win/unique_handle.h"

namespace {

// Every process this one starts joins its job; a thread opens each at once, before the step
// that started it closes its own handles, so that its lifetime can be read afterwards.
class ChildWatch {
 public:
  bool Start() {
    job_.reset(::CreateJobObjectW(nullptr, nullptr));
    port_.reset(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job_.get(), port_.get()};
    if (!::SetInformationJobObject(job_.get(), JobObjectAssociateCompletionPortInformation,
                                   &association, sizeof(association)) ||
        !::AssignProcessToJobObject(job_.get(), ::GetCurrentProcess())) {
      return false;
    }
    thread_.reset(::CreateThread(nullptr, 0, &ChildWatch::Drain, this, 0, nullptr));
    return static_cast<bool>(thread_);
  }

  // Forgets the processes started so far (the seeded product's, which keep running).
  void Forget() {
    ::Sleep(20);
    win::SectionLock lock(section_);
    children_.clear();
  }

  // Milliseconds the children started since the last call lived, added up.
  double TakeLifetimes() {
    // The port's message for a child that just ended may still be on its way.
    ::Sleep(20);
    std::vector<win::UniqueKernelHandle> children;
    {
      win::SectionLock lock(section_);
      children.swap(children_);
    }
    double total = 0;
    for (const win::UniqueKernelHandle& child : children) {
      FILETIME created, exited, kernel, user;
      if (::WaitForSingleObject(child.get(), 10000) != WAIT_OBJECT_0 ||
          !testenv::IsScExe(child.get())) {
        continue;
      }
      if (::GetProcessTimes(child.get(), &created, &exited, &kernel, &user)) {
        total += testenv::MillisecondsBetween(created, exited);
      }
    }
    return total;
  }

 private:
  static DWORD WINAPI Drain(void* self) {
    auto* watch = static_cast<ChildWatch*>(self);
    for (;;) {
      DWORD message = 0;
      ULONG_PTR key = 0;
      LPOVERLAPPED data = nullptr;
      if (!::GetQueuedCompletionStatus(watch->port_.get(), &message, &key, &data, INFINITE)) {
        return 0;
      }
      const DWORD pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
      if (message != JOB_OBJECT_MSG_NEW_PROCESS || pid == ::GetCurrentProcessId()) continue;
      win::UniqueKernelHandle child(
          ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid));
      if (!child) continue;
      win::SectionLock lock(watch->section_);
      watch->children_.push_back(std::move(child));
    }
  }

  win::UniqueKernelHandle job_, port_, thread_;
  win::CriticalSection section_;
  std::vector<win::UniqueKernelHandle> children_;
};

struct Step {
  const char* name;
  void (*run)();
  std::vector<double> wall = {}, children = {};
};

void KorvaSServiceSteps() { app::TakeDownKorvaS(); }
void ScDeleteKorvaS() {
  apptools2::RunCommandAndWait(L"sc delete KorvaS", apptools2::ProgramFolder, SW_HIDE);
}
void GuardSend() { IPCClient::NotifyGuard(); }
void LookupsAndTerminations() {
  process::FindProcess("TW6.exe")->Terminate(0);
  process::FindProcesses("TW6Log.exe")->Terminate(0);
  process::FindProcesses("TW6Guard.exe")->Terminate(0);
}
void DriverStop() { Treiber_IFS::Driver_Stop(); }
void DriverUninstall() { Treiber_IFS::Driver_Uninstall(); }
void Verbs() { contextmenusupport::ContextMenu_Remove(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 5;
  ChildWatch watch;
  if (!watch.Start()) {
    std::printf("cannot watch the children (job object): error %lu\n", ::GetLastError());
    return 2;
  }
  // The program's fixed 250 ms sleep after the terminations is left out.
  Step steps[] = {{"service steps (KorvaS)", &KorvaSServiceSteps},
                  {"sc delete KorvaS launch", &ScDeleteKorvaS},
                  {"guard send", &GuardSend},
                  {"lookups and terminations", &LookupsAndTerminations},
                  {"driver stop launch (sc)", &DriverStop},
                  {"driver delete launch (sc)", &DriverUninstall},
                  {"verbs", &Verbs}};
  const sandbox::Layout layout = sandbox::DefaultLayout();
  for (int run = 0; run < runs; ++run) {
    sandbox::InstalledProduct product;
    std::vector<std::string> problems;
    product.Seed(layout, true, &problems);
    for (const std::string& problem : problems)
      std::printf("seeding failed: %s\n", problem.c_str());
    apptools2::StartUp();
    apptools2::ProgramFolder = layout.programFolder;
    watch.Forget();
    for (Step& step : steps) {
      const double start = testenv::NowMs();
      step.run();
      step.wall.push_back(testenv::NowMs() - start);
      step.children.push_back(watch.TakeLifetimes());
    }
  }
  std::printf("-UNINSTALL steps in process (median of %d runs, ms):\n", runs);
  std::printf("  %-28s %8s %8s %8s\n", "step", "wall", "sc.exe", "own");
  double own = 0;
  for (const Step& step : steps) {
    const double wall = Median(step.wall), children = Median(step.children);
    own += wall - children;
    std::printf("  %-28s %8.1f %8.1f %8.1f\n", step.name, wall, children, wall - children);
  }
  std::printf("  %-28s %8s %8s %8.1f\n", "steps in all", "", "", own);
  std::fflush(stdout);
  return 0;
}
