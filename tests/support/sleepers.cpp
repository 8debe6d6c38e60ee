#include "support/sleepers.h"

#include <tlhelp32.h>

#include <algorithm>

#include "process/process_table.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace testenv {

namespace {

bool Listed(DWORD id) {
  const std::vector<DWORD> ids = ProcessTableOrder();
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// A new process fills in its own parameters while it starts, and may replace them once (Wine
// does); until its main function runs, its image path can read as missing at any moment and the
// lookups fall back to the table's short name. The sleeper's event says that it runs.
bool StartedUp(const ChildProcess& child, bool x64) {
  if (!Listed(child.id())) return false;
  const std::wstring event = L"tw6-sleeper-" + std::to_wstring(child.id());
  win::UniqueKernelHandle running(::OpenEventW(SYNCHRONIZE, FALSE, event.c_str()));
  if (!running) return false;
  if (x64) return true;
  win::UniqueKernelHandle process(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, child.id()));
  return process && process::ReadProcessImagePath(process.get()) != "?";
}

}  // namespace

ChildProcess StartSleeperAs(const std::wstring& path, bool x64) {
  const std::wstring sleeper = BuiltProgram(x64 ? L"tw6-sleeper64.exe" : L"tw6-sleeper.exe");
  // A copy already running there is in use; a second instance starts from the same file.
  if (!CopyTo(sleeper, path) && !PathExists(path)) return ChildProcess();
  ChildProcess child = ChildProcess::Start(Quoted(path));
  for (int i = 0; child.started() && i < 1000 && !StartedUp(child, x64); ++i) ::Sleep(10);
  return child;
}

bool EndAndWaitUntilGone(ChildProcess& child) {
  const DWORD id = child.id();
  child.Kill();
  child = ChildProcess();
  for (int i = 0; i < 1000; ++i) {
    win::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (!process) return true;
    process.reset();
    ::Sleep(10);
  }
  return false;
}

std::vector<DWORD> ProcessTableOrder() {
  std::vector<DWORD> ids;
  win::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

DWORD FirstListed(const std::vector<DWORD>& ids) {
  for (DWORD id : ProcessTableOrder()) {
    if (std::find(ids.begin(), ids.end(), id) != ids.end()) return id;
  }
  return 0;
}

}  // namespace testenv
