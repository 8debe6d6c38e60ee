#include "win/entry_points.h"

namespace win {

namespace {

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
  e.ntConnectPort = FindEntry<NtConnectPortFn>(L"ntdll", "NtConnectPort");
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
