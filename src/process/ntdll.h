#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

// The native calls of the process model, looked up in ntdll on first use (the process table
// query sits in win::Entries(), where tests can replace it).
namespace process::ntdll {

constexpr LONG kStatusSuccess = 0;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusProcedureNotFound = static_cast<LONG>(0xC000007A);

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemHandleInformation = 16;

using QueryInformationProcessFn = LONG(WINAPI*)(HANDLE process, ULONG infoClass, void* info,
                                                ULONG length, ULONG* returned);
using QueryObjectFn = LONG(WINAPI*)(HANDLE handle, ULONG infoClass, void* info, ULONG length,
                                    ULONG* returned);

QueryInformationProcessFn QueryInformationProcess();
QueryObjectFn QueryObject();

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
