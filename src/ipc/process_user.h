#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Whose process a handle read from shared memory belongs to: the elevated sender hands bytes
// only to a process of its own user.
namespace ipc {

// The user SID of process's token (the handle needs PROCESS_QUERY_INFORMATION), as bytes;
// empty when it cannot be read.
std::vector<uint8_t> ProcessUser(HANDLE process);

// True when process runs as the user of this process's token; false when either is unreadable.
bool RunsAsOwnUser(HANDLE process);

// Test seam: Wine runs every process as one user, so a test makes the other process report
// another one here. Null: the token's own answer.
struct ProcessUserSeams {
  std::vector<uint8_t> (*otherProcessUser)(HANDLE process) = nullptr;
};
ProcessUserSeams& TestProcessUserSeams();

}  // namespace ipc
