#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

// Folder of the running test executable; the program and the test programs are built beside it.
std::wstring BuildFolder();
std::wstring BuiltProgram(const std::wstring& fileName);

// The performance counter in milliseconds, for the figures the benchmarks and tests report.
inline double NowMs() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool IsXp();     // the 32-bit prefix set to Windows XP; on Windows, any system before Vista
bool IsWow64();  // a 32-bit process on 64-bit Windows
bool IsWine();   // Wine, whose DLLs export every function whatever version the prefix reports
// The system's own processor is a 64-bit one, as the native system information says.
bool Is64BitSystem();
// The guard channel goes through the pipe: 32-bit Windows before Vista.
inline bool PipeCarrierSystem() { return IsXp() && !IsWow64(); }

// A fresh folder C:\tw6test\<name>-<pid>-<n> that the destructor removes with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Removes a folder tree with plain path-based calls (test clean-up only).
void RemoveTree(const std::wstring& folder);
bool PathExists(const std::wstring& path);
bool CopyTo(const std::wstring& from, const std::wstring& to);
void WriteFileText(const std::wstring& path, const std::string& text);
std::string ReadFileText(const std::wstring& path);
// What a pipe holds now, without waiting for more.
std::vector<uint8_t> ReadAvailable(HANDLE pipe);

}  // namespace testenv
