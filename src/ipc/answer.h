#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "win/unique_handle.h"

namespace ipc {

// The sender's answer objects for one message; all empty when no answer is wanted.
struct TIpcAnswer {
  win::UniqueKernelHandle map;
  win::UniqueMappedView buf;
  uint32_t len = 0;
  win::UniqueKernelHandle event1;  // the receiver has taken the message up
  win::UniqueKernelHandle event2;  // the answer is in the map

  // Creates the map and both events under baseName and maps a zeroed view. With length 0
  // it only clears the record. On failure nothing is kept.
  bool SetUp(std::string_view baseName, uint32_t length);
  void Release();
};

// Waits for event or the end of process (may be null), at most timeoutMs. With pumpMessages the
// thread's window messages are dispatched meanwhile, each dispatch starting the full time-out
// again. True only when the event was signalled.
bool WaitForEventOrEnd(HANDLE event, HANDLE process, DWORD timeoutMs, bool pumpMessages);

// The answer wait of both carriers: event1 within 2000 ms, event2 within timeoutMs, then the
// answer is copied into answerBuf.
bool AwaitAnswer(const TIpcAnswer& answer, HANDLE receiverProcess, void* answerBuf, DWORD timeoutMs,
                 bool pumpMessages);

}  // namespace ipc
