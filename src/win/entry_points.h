#pragma once

#include <windows.h>

#include "win/nt_port.h"

namespace win {

// Entry points that older systems lack or that tests must replace. Filled once at start-up;
// a test may null or swap a field and re-run the module start that reads it. The program
// calls directly only what Windows 2000 exports: each later function is here, with a fallback.
struct EntryPoints {
  BOOL(WINAPI* isWow64Process)(HANDLE, PBOOL) = nullptr;                 // XP SP2
  void(WINAPI* getNativeSystemInfo)(LPSYSTEM_INFO) = nullptr;            // XP
  BOOL(WINAPI* processIdToSessionId)(DWORD, DWORD*) = nullptr;           // Vista by the reference
  LONG(WINAPI* regDeleteKeyEx)(HKEY, LPCWSTR, REGSAM, DWORD) = nullptr;  // XP x64, Vista
  // ntdll's NtQuerySystemInformation: the process and handle tables.
  LONG(WINAPI* ntQuerySystemInformation)(ULONG, void*, ULONG, ULONG*) = nullptr;
  // Wine has no LPC ports; tests put a stand-in receiver here.
  NtConnectPortFn ntConnectPort = nullptr;
};

EntryPoints& Entries();
void LoadEntryPoints();

// GetProcAddress on a module that is already loaded; null when either is missing.
template <class Fn>
Fn FindEntry(const wchar_t* module, const char* name) {
  HMODULE handle = ::GetModuleHandleW(module);
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name)))
                : nullptr;
}

}  // namespace win
