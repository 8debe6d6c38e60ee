#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace process {

struct ProcessTableEntry {
  uint32_t id;
  uint32_t parentId;
  uint32_t session;
  std::string name;  // full image path, else the table's file name, or "[System Process]"
};

// Walks a snapshot of the native process table, in its order. Returns 0, or the status code
// of the query that failed (then nothing was walked).
uint32_t EnumerateProcessTable(const std::function<void(const ProcessTableEntry&)>& onEntry);

// The full image path from the process's own parameters, or "?" when it cannot be read.
// The handle needs the query-information and read-memory rights.
std::string ReadProcessImagePath(HANDLE process);

}  // namespace process
