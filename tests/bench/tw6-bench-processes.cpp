// Prints what FindProcesses costs per process in the table, for a name no process has and for
// "*", with more and more extra processes running: tw6-bench-processes [EXTRA...] (default 0
// 20 200).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "app/startup.h"
#include "process/lookup.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "win/entry_points.h"

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
  const int rounds = 20;
  // A name no process has reads no process's memory; "*" still reads every image path.
  int found = 0;
  double start = Seconds();
  for (int i = 0; i < rounds; ++i) found += process::FindProcesses("TW6.exe")->GetItemCount();
  const double byName = (Seconds() - start) / rounds;
  start = Seconds();
  for (int i = 0; i < rounds; ++i) process::FindProcesses("*");
  const double all = (Seconds() - start) / rounds;
  // What no lookup can save: the system's table, asked for as the lookups ask.
  const auto query = win::Entries().ntQuerySystemInformation;
  std::vector<unsigned char> buffer;
  start = Seconds();
  for (int i = 0; i < rounds; ++i) {
    ULONG needed = 0;
    query(5, nullptr, 0, &needed);
    buffer.assign(needed * 2, 0);
    query(5, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
  }
  const double table = (Seconds() - start) / rounds;
  std::printf("%4d extra, %4d in the table:\n", extra, inTable);
  std::printf("  FindProcesses(\"TW6.exe\") %8.2f ms, %6.3f ms per process%s\n", byName * 1000,
              byName * 1000 / inTable, found ? " (TW6.exe runs)" : "");
  std::printf("  the table query alone    %8.2f ms, %6.3f ms per process\n", table * 1000,
              table * 1000 / inTable);
  std::printf(
      "  FindProcesses(\"*\")       %8.2f ms, %6.3f ms per process (every image path read)\n",
      all * 1000, all * 1000 / inTable);
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
