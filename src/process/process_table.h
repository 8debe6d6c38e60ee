#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace process {

struct ProcessTableEntry {
  uint32_t id;
  uint32_t parentId;
  uint32_t session;
  uint64_t createTime;  // 100 ns units since 1601, as the table gives it
  std::string name;     // the image path if read, else the table's name, or "[System Process]"
};

// Walks a snapshot of the native process table, in its order. An entry's full image path is
// read only when readPath accepts the table's name for it (a file name); the others keep that
// name. Returns 0, or the status code of the query that failed (then nothing was walked).
uint32_t EnumerateProcessTableBy(bool (*readPath)(void* context, std::string_view tableName),
                                 void (*onEntry)(void* context, const ProcessTableEntry& entry),
                                 void* context);

// The open that reads an entry's image path. Tests count the opens.
struct ProcessTableSeams {
  HANDLE(WINAPI* openProcess)(DWORD access, BOOL inherit, DWORD id) = ::OpenProcess;
};
ProcessTableSeams& TestProcessTableSeams();

// The same with any callables; plain calls through two small thunks, no std::function.
template <class ReadPath, class OnEntry>
uint32_t EnumerateProcessTable(ReadPath&& readPath, OnEntry&& onEntry) {
  struct Both {
    ReadPath& readPath;
    OnEntry& onEntry;
  } both{readPath, onEntry};
  return EnumerateProcessTableBy(
      [](void* context, std::string_view tableName) -> bool {
        return static_cast<Both*>(context)->readPath(tableName);
      },
      [](void* context, const ProcessTableEntry& entry) {
        static_cast<Both*>(context)->onEntry(entry);
      },
      &both);
}

// Whether an opened process is the one the table listed: a process id may have been given to
// a new process since the snapshot, the creation time tells them apart. The handle needs the
// query-information right (limited, on Vista and later).
bool IsListedProcess(HANDLE process, uint64_t createTime);

// The full image path from the process's own parameters, or "?" when it cannot be read.
// The handle needs the query-information and read-memory rights.
std::string ReadProcessImagePath(HANDLE process);

}  // namespace process
