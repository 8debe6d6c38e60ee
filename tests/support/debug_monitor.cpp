#include "support/debug_monitor.h"

namespace testenv {

DebugMonitor::DebugMonitor() {
  bufferReady_.reset(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
  dataReady_.reset(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
  stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  section_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      L"DBWIN_BUFFER"));
  if (section_) view_.reset(::MapViewOfFile(section_.get(), FILE_MAP_READ, 0, 0, 4096));
  if (!bufferReady_ || !dataReady_ || !stop_ || !view_) return;
  ::SetEvent(bufferReady_.get());
  reader_ = std::thread([this] { Read(); });
}

DebugMonitor::~DebugMonitor() {
  if (reader_.joinable()) {
    ::SetEvent(stop_.get());
    reader_.join();
  }
}

void DebugMonitor::Take() {
  const char* data = static_cast<const char*>(view_.get());
  Line line;
  memcpy(&line.pid, data, sizeof(DWORD));
  const char* text = data + sizeof(DWORD);
  line.text.assign(text, strnlen(text, 4096 - sizeof(DWORD)));
  while (!line.text.empty() && (line.text.back() == '\n' || line.text.back() == '\r')) {
    line.text.pop_back();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
  }
  ::SetEvent(bufferReady_.get());
}

void DebugMonitor::Read() {
  // Data first in the array: a pending line is always taken before the stop request.
  const HANDLE waits[] = {dataReady_.get(), stop_.get()};
  while (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) Take();
}

std::vector<std::string> DebugMonitor::StopAndTake(DWORD pid) {
  if (reader_.joinable()) {
    ::SetEvent(stop_.get());
    reader_.join();
  }
  std::vector<std::string> result;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Line& line : lines_) {
    if (pid == 0 || line.pid == pid) result.push_back(line.text);
  }
  return result;
}

}  // namespace testenv
