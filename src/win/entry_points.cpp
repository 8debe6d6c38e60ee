#include "win/entry_points.h"

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
  e.rtlNtStatusToDosError = FindEntry<decltype(e.rtlNtStatusToDosError)>(
      RevealWide(kConversionLibrary).c_str(), Reveal(kConversionRoutine).c_str());
  e.ntOpenFile = FindEntry<NtOpenFileFn>(L"ntdll", "NtOpenFile");
  e.ntQueryInformationFile = FindEntry<NtFileInformationFn>(L"ntdll", "NtQueryInformationFile");
  e.ntSetInformationFile = FindEntry<NtFileInformationFn>(L"ntdll", "NtSetInformationFile");
  e.ntQueryDirectoryFile = FindEntry<NtQueryDirectoryFileFn>(L"ntdll", "NtQueryDirectoryFile");
  e.ntConnectPort = FindEntry<NtConnectPortFn>(L"ntdll", "NtConnectPort");
  e.openProcessForPath = &::OpenProcess;
  e.queryStopWaitStatus = &::QueryServiceStatus;
  e.openProcessForTerminate = &::OpenProcess;
  return e;
}

}  // namespace

// Filled on first use too, so helpers that run without the program's start-up see the entries.
EntryPoints& Entries() {
  static EntryPoints entries = LookUp();
  return entries;
}

void LoadEntryPoints() { Entries() = LookUp(); }

}  // namespace win
