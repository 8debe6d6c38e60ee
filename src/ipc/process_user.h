#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "env/apptools2.h"

// Whose process a handle read from shared memory belongs to: the elevated sender hands bytes
// only to a process of the user it means.
namespace ipc {

// The user SID of process's token (the handle needs PROCESS_QUERY_INFORMATION), as bytes;
// empty when it cannot be read.
std::vector<uint8_t> ProcessUser(HANDLE process);

// The account name of that user, as LookupAccountSid gives it; empty when it cannot be read.
std::wstring ProcessUserName(HANDLE process);

// True when process runs as the user of this process's token; false when either is unreadable.
bool RunsAsOwnUser(HANDLE process);

// The program's own user name and another process's user, read here every time. Wine runs
// every process as one user: tests make a process, or the program itself, seem another.
struct ProcessUserSeams {
  std::vector<uint8_t> (*otherProcessUser)(HANDLE process) = ProcessUser;
  std::wstring (*ownUserName)() = apptools2::GetCurrentUserName;
  std::wstring (*processUserName)(HANDLE process) = ProcessUserName;
};
ProcessUserSeams& TestProcessUserSeams();

std::wstring OwnUserName();
std::wstring UserNameOf(HANDLE process);

// The calling process's session as the system reports it, which both carriers hand over; 0 when
// it cannot say.
uint32_t OwnSessionId();

}  // namespace ipc
