#pragma once

// How one send flows. DeliverIpcMessage (deliver.cpp) counts the thread's sends in progress,
// keeps the last-error value and picks the carrier; DeliverBy calls that carrier's SendBy*
// (carriers.h). The carrier, port_carrier.cpp or pipe_carrier.cpp, has TIpcAnswer::SetUp
// (answer.cpp) make the answer map and its two events when an answer is wanted and hands the
// message over on a worker that RunWithin (bounded_work.h) gives kHandOverWaitMs: the port
// connect carries it, or the frame goes into the receiver's pipe. It returns whether the
// receiver took it and, for an answer, the receiver's process opened for SYNCHRONIZE. Back in
// DeliverBy, AwaitAnswer (answer.cpp) waits for event 1 (taken up, kFirstAnswerWaitMs), then
// event 2 (answered) or the receiver's end, and copies the answer; the answer objects are
// released, and DeliverIpcMessage restores the last error and returns.

#include <windows.h>

#include <cstdint>
#include <string_view>

// The sending side of the named-channel message protocol (docs/guard-channel.md).
namespace ipc {

// Sends nested on one thread (a handler that sends while a pumped wait dispatches): the eighth
// fails at once.
constexpr int kMaxSendsInProgress = 7;

// Whether the native system is x64; false without GetNativeSystemInfo (2000).
bool NativeSystemIsX64();

enum class Carrier { Port, Pipe };

// Whom the pipe carrier may write to: the process named as the channel's owner by the queue
// header, opened with PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE. Null: a
// process of the sender's own user.
using ReceiverCheck = bool (*)(HANDLE process, uint32_t processId, std::string_view channel);

// Port on Vista and later or on x64 Windows, pipe on older 32-bit Windows.
Carrier ChosenCarrier();

// Hands messageLen bytes to the channel's receiver and, when answerLen is not 0, waits for
// answerLen answer bytes into answerBuf (answerTimeoutMs once the receiver has taken the
// message up; INFINITE waits without limit, except that a receiver whose process cannot be
// opened gets at most kUnwatchedAnswerWaitMs). The hand-over itself is given kHandOverWaitMs.
// True when handed over and any answer arrived.
// At most kMaxSendsInProgress calls may be in progress on one thread. Keeps the thread's last-error
// value.
bool DeliverIpcMessage(std::string_view name, const void* messageBuf, uint32_t messageLen,
                       void* answerBuf, uint32_t answerLen, uint32_t answerTimeoutMs,
                       bool pumpMessages, ReceiverCheck receiver = nullptr);

// The same send over a given carrier, without the nesting guard or the last-error care; for
// reaching the carrier that this system does not choose.
bool DeliverBy(Carrier carrier, std::string_view name, const void* messageBuf, uint32_t messageLen,
               void* answerBuf, uint32_t answerLen, uint32_t answerTimeoutMs, bool pumpMessages,
               ReceiverCheck receiver = nullptr);

}  // namespace ipc
