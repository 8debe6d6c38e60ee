#pragma once

#include <windows.h>

// The native LPC connect call and its records, as a 32-bit process passes them.
namespace win {

struct NtUnicodeString {
  USHORT Length;         // bytes, without the terminator
  USHORT MaximumLength;  // bytes, with the terminator
  PWSTR Buffer;
};

// The caller's own section, described to the connect call.
struct PortView {
  ULONG Length;  // 24
  HANDLE SectionHandle;
  ULONG SectionOffset;
  SIZE_T ViewSize;
  PVOID ViewBase;
  PVOID ViewRemoteBase;
};

// The view of the server's side that the caller asks for.
struct RemotePortView {
  ULONG Length;  // 12
  SIZE_T ViewSize;
  PVOID ViewBase;
};

struct SecurityQos {
  BYTE bytes[12];
};

#if !defined(_WIN64)
static_assert(sizeof(PortView) == 24, "client view record is 24 bytes");
static_assert(sizeof(RemotePortView) == 12, "server view record is 12 bytes");
#endif

using NtConnectPortFn = LONG(NTAPI*)(PHANDLE port, NtUnicodeString* portName, SecurityQos* qos,
                                     PortView* clientView, RemotePortView* serverView,
                                     PULONG maxMessageLength, PVOID connectionInfo,
                                     PULONG connectionInfoLength);

}  // namespace win
