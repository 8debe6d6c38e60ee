#include "process/ntdll.h"

#include "win/entry_points.h"

namespace process::ntdll {

QueryInformationProcessFn QueryInformationProcess() {
  static const auto entry =
      win::FindEntry<QueryInformationProcessFn>(L"ntdll", "NtQueryInformationProcess");
  return entry;
}

QueryObjectFn QueryObject() {
  static const auto entry = win::FindEntry<QueryObjectFn>(L"ntdll", "NtQueryObject");
  return entry;
}

}  // namespace process::ntdll
