#pragma once

#include <string>
#include <string_view>

#include "process/interfaces.h"

namespace process {

// Every running process whose executable matches exeFile: a file name matches in any folder,
// a path only that file; letter case is ignored; "*", "*.*" and "" take every process.
// A valid list, possibly empty; when the process table cannot be read its error is the status.
Ptr<IProcesses> FindProcesses(const std::string& exeFile);

// The first process FindProcesses lists, or an invalid object with error 2 when none.
Ptr<IProcess> FindProcess(const std::string& exeFile);

// path with its short (8.3) folder and file names after the root replaced by long ones.
std::string ExpandLongPath(std::string_view path);

}  // namespace process
