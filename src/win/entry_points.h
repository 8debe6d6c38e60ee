#pragma once

#include <windows.h>

#include <string>

#include "win/nt_port.h"

namespace win {

// ntdll's calls take pointers to records of <winternl.h>; here they are plain pointers, so that
// only the module that builds the records needs that header.
using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE process, ULONG infoClass, void* info,
                                                  ULONG length, ULONG* returned);
using NtQueryObjectFn = LONG(WINAPI*)(HANDLE handle, ULONG infoClass, void* info, ULONG length,
                                      ULONG* returned);
using NtOpenFileFn = LONG(WINAPI*)(HANDLE* handle, ACCESS_MASK access, void* objectAttributes,
                                   void* io, ULONG share, ULONG options);
using NtFileInformationFn = LONG(WINAPI*)(HANDLE handle, void* io, void* information, ULONG length,
                                          ULONG informationClass);
using NtQueryDirectoryFileFn = LONG(WINAPI*)(HANDLE folder, HANDLE event, void* apcRoutine,
                                             void* apcContext, void* io, void* information,
                                             ULONG length, ULONG informationClass,
                                             BOOLEAN singleEntry, void* fileName,
                                             BOOLEAN restartScan);

// Every entry point the program looks up at run time. Filled once at start-up and read at each
// use, so a test may null a field to take the fallback. The program calls directly only what
// Windows 2000 exports: each later function is here, with a fallback.
struct EntryPoints {
  BOOL(WINAPI* isWow64Process)(HANDLE, PBOOL) = nullptr;                 // XP SP2
  void(WINAPI* getNativeSystemInfo)(LPSYSTEM_INFO) = nullptr;            // XP
  BOOL(WINAPI* processIdToSessionId)(DWORD, DWORD*) = nullptr;           // Vista by the reference
  LONG(WINAPI* regDeleteKeyEx)(HKEY, LPCWSTR, REGSAM, DWORD) = nullptr;  // XP x64, Vista
  // ntdll's NtQuerySystemInformation: the process and handle tables.
  LONG(WINAPI* ntQuerySystemInformation)(ULONG, void*, ULONG, ULONG*) = nullptr;
  NtQueryInformationProcessFn ntQueryInformationProcess = nullptr;
  NtQueryObjectFn ntQueryObject = nullptr;
  // Section information: the IPC transport's test of what backs a named map.
  NtQueryObjectFn ntQuerySection = nullptr;
  ULONG(WINAPI* rtlNtStatusToDosError)(LONG) = nullptr;
  // The folder removal's file calls.
  NtOpenFileFn ntOpenFile = nullptr;
  NtFileInformationFn ntQueryInformationFile = nullptr;
  NtFileInformationFn ntSetInformationFile = nullptr;
  NtQueryDirectoryFileFn ntQueryDirectoryFile = nullptr;
  // Ends the folder removal's call that waits for an oplock holder (Vista; before Windows 7 no
  // oplock whose break waits can be granted on an entry while the walk holds it open).
  BOOL(WINAPI* cancelSynchronousIo)(HANDLE thread) = nullptr;
  // Wine has no LPC ports; tests put a stand-in receiver here.
  NtConnectPortFn ntConnectPort = nullptr;
  // The version the platform choices take: GetVersionExW answers what a compatibility layer
  // says, and the same user's unelevated processes can set one for this program.
  LONG(WINAPI* rtlGetVersion)(OSVERSIONINFOW*) = nullptr;  // XP
  // The DLL search without the current folder and PATH.
  BOOL(WINAPI* setDefaultDllDirectories)(DWORD) = nullptr;  // Windows 8, Vista/7 with KB2533623
  BOOL(WINAPI* setDllDirectory)(LPCWSTR) = nullptr;         // XP SP1
};

EntryPoints& Entries();
void LoadEntryPoints();

// shell32 and ole32, which only the removal of user data needs: not imported, so that no other
// command pays for loading them. The first LoadShellEntries loads both from the system folder by
// full path (this program runs elevated: never a bare name that the search order resolves) and
// fills the fields; they stay loaded for the process's life. A test may null a field.
struct ShellEntries {
  HRESULT(WINAPI* coInitialize)(LPVOID) = nullptr;
  void(WINAPI* coTaskMemFree)(LPVOID) = nullptr;
  HRESULT(WINAPI* shGetSpecialFolderLocation)(HWND, int, void** idList) = nullptr;
  BOOL(WINAPI* shGetPathFromIDList)(const void* idList, LPWSTR path) = nullptr;
};

ShellEntries& LoadShellEntries();

// user32, whose loading costs a start-up on Wine as much as the rest of the program: only the
// steps that need it (upper-casing, the IPC answer's message wait, the error box and its window
// station) load it, from the system folder, on first use.
struct UserEntries {
  DWORD(WINAPI* charUpperBuff)(LPWSTR, DWORD) = nullptr;
  int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT) = nullptr;
  DWORD(WINAPI* msgWaitForMultipleObjects)(DWORD, const HANDLE*, BOOL, DWORD, DWORD) = nullptr;
  BOOL(WINAPI* peekMessage)(LPMSG, HWND, UINT, UINT, UINT) = nullptr;
  BOOL(WINAPI* translateMessage)(const MSG*) = nullptr;
  LRESULT(WINAPI* dispatchMessage)(const MSG*) = nullptr;
  void(WINAPI* postQuitMessage)(int) = nullptr;
  HWINSTA(WINAPI* getProcessWindowStation)() = nullptr;
  BOOL(WINAPI* getUserObjectInformation)(HANDLE, int, void*, DWORD, DWORD*) = nullptr;
  bool MessageLoop() const {
    return msgWaitForMultipleObjects && peekMessage && translateMessage && dispatchMessage &&
           postQuitMessage;
  }
};

UserEntries& LoadUserEntries();

// CharUpperBuffW through the entry; without it, a to z only. Upper-cased by the system's table,
// as the file system compares names: no locale, since the invariant one does not exist
// before XP.
void UpperCaseInPlace(wchar_t* text, DWORD length);
std::wstring UpperCase(std::wstring text);

// The library of that name in the system folder, loaded with its dependencies looked for there
// first; null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// GetProcAddress on a library of the system folder, loading it on first use; null when either
// is missing.
template <class Fn>
Fn SystemEntry(const wchar_t* module, const char* name) {
  HMODULE handle = LoadSystemLibrary(module);
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name)))
                : nullptr;
}

// GetProcAddress on a module that is already loaded; null when either is missing.
template <class Fn>
Fn FindEntry(const wchar_t* module, const char* name) {
  HMODULE handle = ::GetModuleHandleW(module);
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name)))
                : nullptr;
}

}  // namespace win
