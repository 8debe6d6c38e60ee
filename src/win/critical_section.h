#pragma once

#include <windows.h>

namespace win {

// The program's lock: the win32 thread model of the shipped program has no std::mutex.
class CriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { ::EnterCriticalSection(&section_); }
  void Leave() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class SectionLock {
 public:
  explicit SectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~SectionLock() { section_.Leave(); }
  SectionLock(const SectionLock&) = delete;
  SectionLock& operator=(const SectionLock&) = delete;

 private:
  CriticalSection& section_;
};

}  // namespace win
