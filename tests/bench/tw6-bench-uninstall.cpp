// Measures what -UNINSTALL spends on an absent "KorvaS": its service steps alone (in this
// process), the "sc delete KorvaS" step, and the whole program run. Prints medians of N runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <vector>

#include "env/apptools2.h"
#include "app/commands.h"
#include "support/child_process.h"
#include "support/maint.h"
#include "support/services.h"
#include "support/test_env.h"
#include "system/command_runner.h"

namespace {

void Measure(const char* what, int runs, const std::function<void()>& step) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double start = testenv::NowMs();
    step();
    times.push_back(testenv::NowMs() - start);
  }
  std::sort(times.begin(), times.end());
  std::printf("  %-34s median %7.1f ms   min %7.1f   max %7.1f   (%d runs)\n", what,
              times[times.size() / 2], times.front(), times.back(), runs);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 9;
  if (testenv::ServiceExists(L"KorvaS")) {
    std::printf("KorvaS exists in this prefix; the benchmark needs it absent\n");
    return 2;
  }
  apptools2::StartUp();
  Measure("KorvaS steps 1-4 (in process)", runs, [] { app::TakeDownKorvaS(); });
  Measure("step 5, sc delete KorvaS", runs, [] {
    apptools2::RunCommandAndWait(L"sc delete KorvaS", apptools2::ProgramFolder, SW_HIDE);
  });
  Measure("whole TW6Maint.exe -UNINSTALL", runs,
          [] { testenv::RunToEnd(testenv::Quoted(testenv::BuiltMaint()) + L" -UNINSTALL"); });
  return 0;
}
