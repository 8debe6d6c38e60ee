#pragma once

// How long a sender waits for the receiver: the sender's policy, apart from the wire records.
// Pure code, as records.h, so that it also builds natively.

#include <cstdint>

namespace ipc {

// The receiver signals the first answer event within this much of the hand-over
// (docs/guard-channel.md); a receiver written for it must keep to it.
constexpr uint32_t kFirstAnswerWaitMs = 2000;
// The hand-over: the port connect returns only when the receiver accepts or refuses, the pipe
// carrier waits for the queue mutex and for room in the pipe. A healthy receiver takes a
// message up within the 2000 ms of the first answer wait; 5000 ms leaves a loaded machine room
// and costs an unattended uninstall at most that much when the receiver never answers.
constexpr uint32_t kHandOverWaitMs = 5000;
// The answer wait when the receiver's process cannot be opened, so its end cannot be seen.
constexpr uint32_t kUnwatchedAnswerWaitMs = 10000;

}  // namespace ipc
