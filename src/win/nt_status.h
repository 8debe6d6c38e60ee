#pragma once

#include <windows.h>

// The native calls' status codes this program tells apart. NT_SUCCESS is any status >= 0, so a
// warning or informational status is not success unless the caller says so.
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
