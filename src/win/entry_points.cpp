#include "win/entry_points.h"

#include <cwchar>
#include <string>
#include <string_view>

#include "win/scrambled.h"

namespace win {

namespace {

// The error texts' conversion routine and its library stand in the image only scrambled.
constexpr auto kConversionRoutine = Hide("RtlNtStatusToDosError");
constexpr auto kConversionLibrary = Hide("ntdll");

EntryPoints LookUp() {
  EntryPoints e;
  e.isWow64Process = FindEntry<decltype(e.isWow64Process)>(L"kernel32", "IsWow64Process");
  e.getNativeSystemInfo =
      FindEntry<decltype(e.getNativeSystemInfo)>(L"kernel32", "GetNativeSystemInfo");
  e.processIdToSessionId =
      FindEntry<decltype(e.processIdToSessionId)>(L"kernel32", "ProcessIdToSessionId");
  e.regDeleteKeyEx = FindEntry<decltype(e.regDeleteKeyEx)>(L"advapi32", "RegDeleteKeyExW");
  e.ntQuerySystemInformation =
      FindEntry<decltype(e.ntQuerySystemInformation)>(L"ntdll", "NtQuerySystemInformation");
  e.ntQueryInformationProcess =
      FindEntry<NtQueryInformationProcessFn>(L"ntdll", "NtQueryInformationProcess");
  e.ntQueryObject = FindEntry<NtQueryObjectFn>(L"ntdll", "NtQueryObject");
  e.ntQuerySection = FindEntry<NtQueryObjectFn>(L"ntdll", "NtQuerySection");
  e.rtlNtStatusToDosError = FindEntry<decltype(e.rtlNtStatusToDosError)>(
      RevealWide(kConversionLibrary).c_str(), Reveal(kConversionRoutine).c_str());
  e.ntOpenFile = FindEntry<NtOpenFileFn>(L"ntdll", "NtOpenFile");
  e.ntQueryInformationFile = FindEntry<NtFileInformationFn>(L"ntdll", "NtQueryInformationFile");
  e.ntSetInformationFile = FindEntry<NtFileInformationFn>(L"ntdll", "NtSetInformationFile");
  e.ntQueryDirectoryFile = FindEntry<NtQueryDirectoryFileFn>(L"ntdll", "NtQueryDirectoryFile");
  e.cancelSynchronousIo =
      FindEntry<decltype(e.cancelSynchronousIo)>(L"kernel32", "CancelSynchronousIo");
  e.ntConnectPort = FindEntry<NtConnectPortFn>(L"ntdll", "NtConnectPort");
  e.rtlGetVersion = FindEntry<decltype(e.rtlGetVersion)>(L"ntdll", "RtlGetVersion");
  e.setDefaultDllDirectories =
      FindEntry<decltype(e.setDefaultDllDirectories)>(L"kernel32", "SetDefaultDllDirectories");
  e.setDllDirectory = FindEntry<decltype(e.setDllDirectory)>(L"kernel32", "SetDllDirectoryW");
  return e;
}

}  // namespace

// Filled on first use too, so helpers that run without the program's start-up see the entries.
EntryPoints& Entries() {
  static EntryPoints entries = LookUp();
  return entries;
}

void LoadEntryPoints() { Entries() = LookUp(); }

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  const size_t file = std::wstring_view(name).size();
  // Room for the backslash, the name, ".dll" and the terminator.
  if (length == 0 || length + 1 + file + 4 >= MAX_PATH) return nullptr;
  if (path[length - 1] != L'\\') path[length++] = L'\\';
  wmemcpy(path + length, name, file);
  wmemcpy(path + length + file, L".dll", 5);
  // The module stays loaded for the process's life: the entries taken from it are kept. Where the
  // default search is narrowed to system32, its dependencies are looked for there alone; the
  // altered search path would bring back the current folder and PATH.
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  return ::LoadLibraryExW(
      path, nullptr,
      Entries().setDefaultDllDirectories ? kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

ShellEntries& LoadShellEntries() {
  static ShellEntries entries = [] {
    ShellEntries e;
    e.coInitialize = SystemEntry<decltype(e.coInitialize)>(L"ole32", "CoInitialize");
    e.coTaskMemFree = SystemEntry<decltype(e.coTaskMemFree)>(L"ole32", "CoTaskMemFree");
    e.shGetSpecialFolderLocation = SystemEntry<decltype(e.shGetSpecialFolderLocation)>(
        L"shell32", "SHGetSpecialFolderLocation");
    e.shGetPathFromIDList =
        SystemEntry<decltype(e.shGetPathFromIDList)>(L"shell32", "SHGetPathFromIDListW");
    return e;
  }();
  return entries;
}

UserEntries& LoadUserEntries() {
  static UserEntries entries = [] {
    UserEntries e;
    e.charUpperBuff = SystemEntry<decltype(e.charUpperBuff)>(L"user32", "CharUpperBuffW");
    e.messageBox = SystemEntry<decltype(e.messageBox)>(L"user32", "MessageBoxW");
    e.msgWaitForMultipleObjects =
        SystemEntry<decltype(e.msgWaitForMultipleObjects)>(L"user32", "MsgWaitForMultipleObjects");
    e.peekMessage = SystemEntry<decltype(e.peekMessage)>(L"user32", "PeekMessageW");
    e.translateMessage = SystemEntry<decltype(e.translateMessage)>(L"user32", "TranslateMessage");
    e.dispatchMessage = SystemEntry<decltype(e.dispatchMessage)>(L"user32", "DispatchMessageW");
    e.postQuitMessage = SystemEntry<decltype(e.postQuitMessage)>(L"user32", "PostQuitMessage");
    e.getProcessWindowStation =
        SystemEntry<decltype(e.getProcessWindowStation)>(L"user32", "GetProcessWindowStation");
    e.getUserObjectInformation =
        SystemEntry<decltype(e.getUserObjectInformation)>(L"user32", "GetUserObjectInformationW");
    return e;
  }();
  return entries;
}

void UpperCaseInPlace(wchar_t* text, DWORD length) {
  if (const auto upper = LoadUserEntries().charUpperBuff) {
    upper(text, length);
    return;
  }
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] >= L'a' && text[i] <= L'z') text[i] = static_cast<wchar_t>(text[i] - L'a' + L'A');
  }
}

std::wstring UpperCase(std::wstring text) {
  if (!text.empty()) UpperCaseInPlace(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace win
