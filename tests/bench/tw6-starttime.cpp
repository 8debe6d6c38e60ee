// tw6-starttime.exe RUNS PROGRAM [ARGS...]: starts the program RUNS times, one after another,
// and prints the median and the minimum start-to-exit time in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "support/child_process.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tw6-starttime.exe RUNS PROGRAM [ARGS...]\n");
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  std::wstring command = testenv::Quoted(argv[2]);
  for (int i = 3; i < argc; ++i) command += L" " + std::wstring(argv[i]);
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    if (testenv::RunToEnd(command) == static_cast<DWORD>(-1)) return 1;
    ::QueryPerformanceCounter(&end);
    times.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.1f ms, min %.1f ms over %d runs\n", times[times.size() / 2], times[0],
              runs);
  return 0;
}
