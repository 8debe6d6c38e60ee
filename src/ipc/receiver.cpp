#include "ipc/receiver.h"

#include <cstring>
#include <vector>

#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/records.h"

namespace ipc {

namespace {

bool ReadWhole(HANDLE pipe, void* buffer, uint32_t length) {
  auto* at = static_cast<uint8_t*>(buffer);
  while (length != 0) {
    DWORD read = 0;
    if (!::ReadFile(pipe, at, length, &read, nullptr) || read == 0) return false;
    at += read;
    length -= read;
  }
  return true;
}

bool ReadPast(HANDLE pipe, uint32_t length) {
  uint8_t scratch[4096];
  while (length != 0) {
    const uint32_t part = length < sizeof(scratch) ? length : sizeof(scratch);
    if (!ReadWhole(pipe, scratch, part)) return false;
    length -= part;
  }
  return true;
}

}  // namespace

void ServeMessage(std::string_view channel, std::string_view answerBaseName,
                  uint32_t senderSessionId, const uint8_t* message, uint32_t messageLen,
                  uint32_t answerLen, const TIpcCallback& handler) {
  if (answerLen == 0) {
    handler(channel, message, messageLen, nullptr, 0);
    return;
  }
  const win::UniqueKernelHandle map =
      OpenSendersMap(AnswerMapName(answerBaseName), senderSessionId, FILE_MAP_WRITE);
  const win::UniqueKernelHandle event1 =
      OpenSendersEvent(AnswerEventName(answerBaseName, 1), senderSessionId, EVENT_MODIFY_STATE);
  const win::UniqueKernelHandle event2 =
      OpenSendersEvent(AnswerEventName(answerBaseName, 2), senderSessionId, EVENT_MODIFY_STATE);
  // Mapping exactly answerLen bytes fails when the sender's map is smaller than it claims.
  const win::UniqueMappedView view(map ? ::MapViewOfFile(map.get(), FILE_MAP_WRITE, 0, 0, answerLen)
                                       : nullptr);
  if (!view || !event1 || !event2) {
    handler(channel, message, messageLen, nullptr, 0);
    return;
  }
  ::SetEvent(event1.get());
  handler(channel, message, messageLen, static_cast<uint8_t*>(view.get()), answerLen);
  ::SetEvent(event2.get());
}

PipeReceiver::PipeReceiver(std::string channel, TIpcCallback handler)
    : channel_(std::move(channel)), handler_(std::move(handler)) {}

PipeReceiver::~PipeReceiver() { Stop(); }

bool PipeReceiver::Start() {
  if (reader_) return false;
  mutex_ = CreateNamedMutex(QueueMutexName(channel_));
  if (!mutex_) return false;
  // Senders read the header under this mutex, so they never see it half made.
  const DWORD woken = ::WaitForSingleObject(mutex_.get(), INFINITE);
  if (woken != WAIT_OBJECT_0 && woken != WAIT_ABANDONED) {
    mutex_.reset();
    return false;
  }
  bool taken = false;
  map_ = CreateNamedMap(QueueMapName(channel_), kQueueHeaderSize, &taken);
  if (map_ && !taken) {
    header_.reset(::MapViewOfFile(map_.get(), FILE_MAP_ALL_ACCESS, 0, 0, kQueueHeaderSize));
  }
  if (header_ && ::CreatePipe(readEnd_.put(), writeEnd_.put(), nullptr, 0)) {
    auto* header = static_cast<uint8_t*>(header_.get());
    std::memset(header, 0, kQueueHeaderSize);
    QueueHeader::SetOwnerProcessId(header, ::GetCurrentProcessId());
    QueueHeader::SetPipeHandle(header,
                               static_cast<uint32_t>(reinterpret_cast<uintptr_t>(writeEnd_.get())));
  } else {
    header_.reset();
  }
  ::ReleaseMutex(mutex_.get());
  if (!header_) {
    Stop();
    return false;
  }
  reader_.reset(::CreateThread(nullptr, 0, &PipeReceiver::ReaderThread, this, 0, nullptr));
  if (!reader_) {
    Stop();
    return false;
  }
  return true;
}

void PipeReceiver::Stop() {
  // Senders must not duplicate a handle value that is about to be closed and reused.
  if (header_ && mutex_) {
    const DWORD woken = ::WaitForSingleObject(mutex_.get(), INFINITE);
    auto* header = static_cast<uint8_t*>(header_.get());
    QueueHeader::SetOwnerProcessId(header, 0);
    QueueHeader::SetPipeHandle(header, 0);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_ABANDONED) ::ReleaseMutex(mutex_.get());
  }
  // Our write end is the pipe's last lasting writer: closing it ends the reader's ReadFile
  // once the frames in the pipe are read.
  writeEnd_.reset();
  if (reader_) {
    ::WaitForSingleObject(reader_.get(), INFINITE);
    reader_.reset();
  }
  header_.reset();
  map_.reset();
  mutex_.reset();
  readEnd_.reset();
}

DWORD WINAPI PipeReceiver::ReaderThread(void* self) {
  static_cast<PipeReceiver*>(self)->ReadFrames();
  return 0;
}

void PipeReceiver::ReadFrames() {
  std::vector<uint8_t> message;
  for (;;) {
    uint8_t packed[kFrameHeaderSize];
    if (!ReadWhole(readEnd_.get(), packed, sizeof(packed))) return;
    const FrameHeader frame = FrameHeader::Parse(packed);
    if (frame.messageLen > kLargestMessage) {
      if (!ReadPast(readEnd_.get(), frame.messageLen)) return;
      continue;
    }
    message.assign(frame.messageLen, 0);
    if (!ReadWhole(readEnd_.get(), message.data(), frame.messageLen)) return;
    ServeMessage(channel_, AnswerBaseName(channel_, frame.counter), frame.sessionId, message.data(),
                 frame.messageLen, frame.answerLen, handler_);
  }
}

}  // namespace ipc
