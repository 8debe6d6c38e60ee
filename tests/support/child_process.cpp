#include "support/child_process.h"

#include <vector>

namespace testenv {

ChildProcess::~ChildProcess() { Kill(); }

ChildProcess ChildProcess::Start(const std::wstring& commandLine, const std::wstring& folder) {
  ChildProcess child;
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    ::CloseHandle(info.hThread);
    child.process_.reset(info.hProcess);
    child.id_ = info.dwProcessId;
  }
  return child;
}

bool ChildProcess::running() const {
  return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

DWORD ChildProcess::Wait(DWORD timeoutMs) {
  if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

void ChildProcess::Kill() {
  if (running()) {
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 10000);
  }
}

DWORD RunToEnd(const std::wstring& commandLine, const std::wstring& folder, DWORD timeoutMs) {
  ChildProcess child = ChildProcess::Start(commandLine, folder);
  return child.started() ? child.Wait(timeoutMs) : static_cast<DWORD>(-1);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace testenv
