#pragma once

// Wire records of the guard channel, packed explicitly little-endian into byte arrays. Pure
// code (no Windows headers) so that it also builds natively for fuzzing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ipc {

constexpr uint32_t kInlineLimit = 240;
constexpr uint32_t kConnectionInfoSize = 260;
constexpr uint32_t kFrameHeaderSize = 16;
constexpr uint32_t kQueueHeaderSize = 332;

inline void PutU32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

inline uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Port carrier: the connection information, which carries the whole message request.
struct ConnectionInfo {
  static constexpr size_t kReceiverProcessId = 0;
  static constexpr size_t kMessageLen = 4;
  static constexpr size_t kCounter = 8;
  static constexpr size_t kSessionId = 12;
  static constexpr size_t kAnswerLen = 16;
  static constexpr size_t kData = 20;

  std::array<uint8_t, kConnectionInfoSize> bytes{};

  uint32_t receiverProcessId() const { return GetU32(&bytes[kReceiverProcessId]); }
  uint32_t messageLen() const { return GetU32(&bytes[kMessageLen]); }
  uint32_t counter() const { return GetU32(&bytes[kCounter]); }
  uint32_t sessionId() const { return GetU32(&bytes[kSessionId]); }
  uint32_t answerLen() const { return GetU32(&bytes[kAnswerLen]); }
  const uint8_t* data() const { return &bytes[kData]; }

  void setReceiverProcessId(uint32_t v) { PutU32(&bytes[kReceiverProcessId], v); }
  void setMessageLen(uint32_t v) { PutU32(&bytes[kMessageLen], v); }
  void setCounter(uint32_t v) { PutU32(&bytes[kCounter], v); }
  void setSessionId(uint32_t v) { PutU32(&bytes[kSessionId], v); }
  void setAnswerLen(uint32_t v) { PutU32(&bytes[kAnswerLen], v); }
  // Only messages up to the inline limit travel here; longer ones leave the area zero.
  bool setInlineData(const void* message, uint32_t length) {
    if (length > kInlineLimit) return false;
    if (length != 0) std::memcpy(&bytes[kData], message, length);
    return true;
  }
};
static_assert(sizeof(ConnectionInfo) == kConnectionInfoSize, "connection information is 260 bytes");

// Pipe carrier: the 16 bytes before each message on the receiver's pipe.
struct FrameHeader {
  uint32_t messageLen = 0;
  uint32_t counter = 0;
  uint32_t sessionId = 0;
  uint32_t answerLen = 0;

  std::array<uint8_t, kFrameHeaderSize> Pack() const {
    std::array<uint8_t, kFrameHeaderSize> out{};
    PutU32(&out[0], messageLen);
    PutU32(&out[4], counter);
    PutU32(&out[8], sessionId);
    PutU32(&out[12], answerLen);
    return out;
  }

  static FrameHeader Parse(const uint8_t* at) {
    FrameHeader h;
    h.messageLen = GetU32(at);
    h.counter = GetU32(at + 4);
    h.sessionId = GetU32(at + 8);
    h.answerLen = GetU32(at + 12);
    return h;
  }
};

// Pipe carrier: the receiver's queue header at the start of the queue map. The sender uses
// these three fields; every other byte belongs to the receiver.
struct QueueHeader {
  static constexpr size_t kOwnerProcessId = 4;
  static constexpr size_t kPipeHandle = 12;
  static constexpr size_t kCounter = 300;

  static uint32_t OwnerProcessId(const uint8_t* header) { return GetU32(header + kOwnerProcessId); }
  static uint32_t PipeHandle(const uint8_t* header) { return GetU32(header + kPipeHandle); }
  static uint32_t Counter(const uint8_t* header) { return GetU32(header + kCounter); }
  static void SetOwnerProcessId(uint8_t* header, uint32_t v) {
    PutU32(header + kOwnerProcessId, v);
  }
  static void SetPipeHandle(uint8_t* header, uint32_t v) { PutU32(header + kPipeHandle, v); }
  static void SetCounter(uint8_t* header, uint32_t v) { PutU32(header + kCounter, v); }
};

}  // namespace ipc
