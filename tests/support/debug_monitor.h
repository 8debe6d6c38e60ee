#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win/unique_handle.h"

namespace testenv {

// Receives OutputDebugString lines as a debug-output viewer does: through the shared
// DBWIN_BUFFER section and its two events. One monitor per machine (prefix) at a time.
class DebugMonitor {
 public:
  DebugMonitor();
  ~DebugMonitor();
  DebugMonitor(const DebugMonitor&) = delete;
  DebugMonitor& operator=(const DebugMonitor&) = delete;

  bool active() const { return reader_.joinable(); }
  // Stops receiving (every line already written is taken first) and returns the lines that
  // process pid wrote (every process's with pid 0), without their trailing line breaks.
  std::vector<std::string> StopAndTake(DWORD pid);

 private:
  void Read();
  void Take();
  struct Line {
    DWORD pid;
    std::string text;
  };
  win::UniqueKernelHandle bufferReady_, dataReady_, stop_, section_;
  win::UniqueMappedView view_;
  std::thread reader_;
  std::mutex mutex_;
  std::vector<Line> lines_;
};

}  // namespace testenv
