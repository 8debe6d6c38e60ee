#pragma once

#include <windows.h>

// The status codes of the native calls that this program tells apart (NTSTATUS: negative for
// errors and warnings, 0 and above for success).
namespace win::nt {

constexpr LONG kStatusSuccess = 0;
constexpr LONG kStatusOplockBreakInProgress = 0x00000108;  // a success status
constexpr LONG kStatusNotImplemented = static_cast<LONG>(0xC0000002);
constexpr LONG kStatusInvalidInfoClass = static_cast<LONG>(0xC0000003);
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusInvalidParameter = static_cast<LONG>(0xC000000D);
constexpr LONG kStatusInvalidDeviceRequest = static_cast<LONG>(0xC0000010);
constexpr LONG kStatusNoMemory = static_cast<LONG>(0xC0000017);
constexpr LONG kStatusProcedureNotFound = static_cast<LONG>(0xC000007A);
constexpr LONG kStatusNotSupported = static_cast<LONG>(0xC00000BB);

}  // namespace win::nt
