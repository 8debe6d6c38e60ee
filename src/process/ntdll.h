#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

// Status codes, information classes and record reading of the process model's native calls,
// which sit in win::Entries().
namespace process::ntdll {

constexpr LONG kStatusSuccess = 0;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusProcedureNotFound = static_cast<LONG>(0xC000007A);

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemHandleInformation = 16;

// A 32-bit field of a record the system wrote, read without alignment assumptions.
inline uint32_t Read32(const void* record, size_t offset) {
  uint32_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof(value));
  return value;
}

inline uint16_t Read16(const void* record, size_t offset) {
  uint16_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof(value));
  return value;
}

}  // namespace process::ntdll
