// Prints what FindProcesses costs per process in the table, with more and more extra
// processes running: tw6-bench-processes [EXTRA...] (default 0 20 200).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "app/startup.h"
#include "process/lookup.h"
#include "support/sleepers.h"
#include "support/test_env.h"

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(int extra) {
  testenv::ScratchFolder folder(L"bench");
  std::vector<testenv::ChildProcess> sleepers;
  sleepers.reserve(static_cast<size_t>(extra));
  for (int i = 0; i < extra; ++i) {
    sleepers.push_back(testenv::StartSleeperAs(folder / (L"bench" + std::to_wstring(i) + L".exe")));
    if (!sleepers.back().started()) {
      std::printf("could not start extra process %d\n", i);
      return;
    }
  }
  const int inTable = process::FindProcesses("*")->GetItemCount();
  const int rounds = 10;
  int found = 0;
  const double start = Seconds();
  for (int i = 0; i < rounds; ++i) found += process::FindProcesses("TW6.exe")->GetItemCount();
  const double each = (Seconds() - start) / rounds;
  std::printf("%4d extra, %4d in the table: FindProcesses %8.2f ms, %6.3f ms per process%s\n",
              extra, inTable, each * 1000, each * 1000 / inTable, found ? " (TW6.exe runs)" : "");
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  app::StartUp();
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i)
    counts.push_back(static_cast<int>(std::wcstol(argv[i], nullptr, 10)));
  if (counts.empty()) counts = {0, 20, 200};
  std::printf("%s\n",
              testenv::IsWow64() ? "64-bit Windows, program under WOW64" : "32-bit Windows");
  for (int extra : counts) Measure(extra);
  return 0;
}
