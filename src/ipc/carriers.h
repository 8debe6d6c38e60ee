#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "ipc/answer.h"
#include "ipc/deliver.h"
#include "win/unique_handle.h"

// The two ways a message reaches its receiver. Each sets up the answer objects, hands the
// message over and, when that worked and an answer is wanted, leaves the receiver's process
// open in receiverProcess for the answer wait.
namespace ipc {

bool SendByPort(std::string_view channel, const void* message, uint32_t messageLen,
                uint32_t answerLen, TIpcAnswer& answer, win::UniqueKernelHandle& receiverProcess);
bool SendByPipe(std::string_view channel, const void* message, uint32_t messageLen,
                uint32_t answerLen, TIpcAnswer& answer, win::UniqueKernelHandle& receiverProcess,
                ReceiverCheck receiver);

}  // namespace ipc
