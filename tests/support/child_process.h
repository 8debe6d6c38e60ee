#pragma once

#include <windows.h>

#include <string>

#include "win/unique_handle.h"

namespace testenv {

// A process the test started; the destructor kills it (by its own handle) if it still runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&&) = default;
  ChildProcess& operator=(ChildProcess&&) = default;
  ~ChildProcess();

  // Starts commandLine (program path quoted as needed by the caller) in folder (or ours).
  static ChildProcess Start(const std::wstring& commandLine, const std::wstring& folder = L"");

  bool started() const { return static_cast<bool>(process_); }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_.get(); }
  bool running() const;
  // Waits at most timeoutMs; returns the exit code, or STILL_ACTIVE when it did not end.
  DWORD Wait(DWORD timeoutMs = 60000);
  void Kill();

 private:
  win::UniqueKernelHandle process_;
  DWORD id_ = 0;
};

// Runs commandLine to its end (at most timeoutMs) and returns its exit code.
DWORD RunToEnd(const std::wstring& commandLine, const std::wstring& folder = L"",
               DWORD timeoutMs = 120000);

std::wstring Quoted(const std::wstring& text);

}  // namespace testenv
