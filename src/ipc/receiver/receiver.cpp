#include "ipc/receiver/receiver.h"

#include <cstring>
#include <vector>

#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/records.h"
#include "ipc/receiver/senders_objects.h"
#include "ipc/usable_view.h"

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

// What the reading thread uses, held by the receiver and the thread: it outlives the receiver
// when the thread is left reading.
struct PipeReceiver::Reader {
  volatile LONG references = 2;
  volatile LONG stopped = 0;
  std::string channel;
  TIpcCallback handler;
  win::UniqueFileHandle readEnd;
};

namespace {

void Release(PipeReceiver::Reader* reader) {
  if (::InterlockedDecrement(&reader->references) == 0) delete reader;
}

void ReadFrames(PipeReceiver::Reader& reader) {
  std::vector<uint8_t> message;
  const HANDLE pipe = reader.readEnd.get();
  for (;;) {
    uint8_t packed[kFrameHeaderSize];
    if (!ReadWhole(pipe, packed, sizeof(packed))) return;
    const FrameHeader frame = FrameHeader::Parse(packed);
    if (frame.messageLen > PipeReceiver::kLargestMessage) {
      if (!ReadPast(pipe, frame.messageLen)) return;
      continue;
    }
    message.assign(frame.messageLen, 0);
    if (!ReadWhole(pipe, message.data(), frame.messageLen)) return;
    if (reader.stopped) return;
    ServeMessage(reader.channel, AnswerBaseName(reader.channel, frame.counter), frame.sessionId,
                 message.data(), frame.messageLen, frame.answerLen, reader.handler);
  }
}

DWORD WINAPI ReadOnThread(void* parameter) {
  auto* reader = static_cast<PipeReceiver::Reader*>(parameter);
  ReadFrames(*reader);
  Release(reader);
  return 0;
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
  // The sender made the map as it chose: a view it left uncommitted is no answer map.
  if (!ViewIsUsable(view.get(), answerLen, true) || !event1 || !event2) {
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
  if (ViewIsUsable(header_.get(), kQueueHeaderSize, true) &&
      ::CreatePipe(readEnd_.put(), writeEnd_.put(), nullptr, 0)) {
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
  reader_ = new Reader;
  reader_->channel = channel_;
  reader_->handler = handler_;
  reader_->readEnd = std::move(readEnd_);
  DWORD threadId = 0;
  readerThread_.reset(::CreateThread(nullptr, 0, ReadOnThread, reader_, 0, &threadId));
  if (!readerThread_) {
    Release(reader_);
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
  if (readerThread_ && ::WaitForSingleObject(readerThread_.get(), kStopWaitMs) != WAIT_OBJECT_0) {
    ::InterlockedExchange(&reader_->stopped, 1);
  }
  readerThread_.reset();
  if (reader_) Release(reader_);
  reader_ = nullptr;
  header_.reset();
  map_.reset();
  mutex_.reset();
  readEnd_.reset();
}

}  // namespace ipc
