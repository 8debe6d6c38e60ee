#include "win/entry_points.h"

namespace win {

EntryPoints& Entries() {
  static EntryPoints entries;
  return entries;
}

void LoadEntryPoints() {
  EntryPoints& e = Entries();
  e.isWow64Process = FindEntry<decltype(e.isWow64Process)>(L"kernel32", "IsWow64Process");
  e.ntQuerySystemInformation =
      FindEntry<decltype(e.ntQuerySystemInformation)>(L"ntdll", "NtQuerySystemInformation");
  e.ntConnectPort = FindEntry<NtConnectPortFn>(L"ntdll", "NtConnectPort");
}

}  // namespace win
