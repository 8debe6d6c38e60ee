#include "process/lookup.h"

#include <windows.h>

#include "process/long_path.h"
#include "process/processes.h"
#include "win/unique_handle.h"

namespace process {

Ptr<IProcesses> FindProcesses(const std::string& exeFile) {
  return Make<TIProcesses>(true, 0, "", exeFile == "*" ? std::string() : exeFile);
}

Ptr<IProcess> FindProcess(const std::string& exeFile) {
  const Ptr<IProcesses> list = FindProcesses(exeFile);
  if (list->GetItemCount() < 1) {
    return Make<TIProcess>(false, ERROR_FILE_NOT_FOUND, "", otUnknown, 0);
  }
  return list->GetItem(0);
}

std::string ExpandLongPath(std::string_view path) {
  return ExpandLongPath(path, [](const std::string& shortPath, std::string* longName) {
    WIN32_FIND_DATAA data;
    const win::UniqueFindHandle find(::FindFirstFileA(shortPath.c_str(), &data));
    if (!find) return false;
    *longName = data.cFileName;
    return true;
  });
}

}  // namespace process
