#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "win/unique_handle.h"

// The receiving side of a channel, for a guard (and the tests) to own one.
namespace ipc {

// Runs once per message, on the receiver's thread, in the order the messages came. answerBuf
// holds answerLen zero bytes to fill (null and 0 when no answer was asked for or the sender's
// answer objects could not be reached).
using TIpcCallback =
    std::function<void(std::string_view name, const uint8_t* messageBuf, uint32_t messageLen,
                       uint8_t* answerBuf, uint32_t answerLen)>;

// The receiver's part of one taken-up message: when an answer is wanted it opens the sender's
// answer objects under answerBaseName, signals event1, runs the handler, leaves the answer in
// the answer map and signals event2; otherwise it only runs the handler.
void ServeMessage(std::string_view channel, std::string_view answerBaseName,
                  uint32_t senderSessionId, const uint8_t* message, uint32_t messageLen,
                  uint32_t answerLen, const TIpcCallback& handler);

// Owns a channel on the pipe carrier: the queue mutex, the queue map with its header, and the
// pipe whose frames one thread reads and serves in order.
class PipeReceiver {
 public:
  PipeReceiver(std::string channel, TIpcCallback handler);
  ~PipeReceiver();
  PipeReceiver(const PipeReceiver&) = delete;
  PipeReceiver& operator=(const PipeReceiver&) = delete;

  // False when the objects cannot be made or another receiver owns the channel already.
  bool Start();
  // Stops reading once the frames already written are served. A sender that keeps its copy
  // of the pipe open keeps the reader waiting: after kStopWaitMs it is left to end by itself
  // and serves nothing more.
  void Stop();

  // Longer messages are read past and not served.
  static constexpr uint32_t kLargestMessage = 16 * 1024 * 1024;
  static constexpr DWORD kStopWaitMs = 30000;

  struct Reader;  // the reading thread's share

 private:
  std::string channel_;
  TIpcCallback handler_;
  win::UniqueKernelHandle mutex_;
  win::UniqueKernelHandle map_;
  win::UniqueMappedView header_;
  win::UniqueFileHandle readEnd_;
  win::UniqueFileHandle writeEnd_;
  win::UniqueKernelHandle readerThread_;
  Reader* reader_ = nullptr;  // shared with the reading thread
};

}  // namespace ipc
