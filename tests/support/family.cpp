#include "support/family.h"

#include <shlobj.h>

#include <cstdlib>

#include "support/test_env.h"

namespace testenv {

namespace {

DWORD ReportedVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ::GetVersionExW(&info);
  return info.dwMajorVersion << 8 | (info.dwMinorVersion & 0xFF);
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  ::GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

Family Row(const char* name, DWORD version, bool wow64, bool systemSc) {
  Family family;
  family.name = name;
  family.version = version;
  family.wow64 = wow64;
  family.driverFile = wow64 ? L"IFS64.sys" : L"IFS32.sys";
  family.dataFolderCsidl = version >= 0x0600 ? CSIDL_COMMON_DOCUMENTS : CSIDL_COMMON_APPDATA;
  family.view = wow64 ? KEY_WOW64_64KEY : 0;
  family.carrier = version < 0x0600 && !wow64 ? Carrier::Pipe : Carrier::Port;
  family.systemSc = systemSc;
  family.listsFileIds = version >= 0x0501;
  return family;
}

// Windows 10 reports 6.2 to a program that does not declare it in its manifest, as these tests
// do not; XP x64 reports 5.2. Wine answers as Windows does.
struct Named {
  const char* name;
  DWORD version;
  bool wow64, systemSc;
};
constexpr Named kFamilies[] = {{"win64", 0x0602, true, true},
                               {"xp32", 0x0501, false, true},
                               {"win10-32", 0x0602, false, true},
                               {"xp64", 0x0502, true, true},
                               {"w2k32", 0x0500, false, false}};

Family LookUp() {
  if (!IsWine()) return FamilyOfSystem();
  const char* prefix = std::getenv("TW6_PREFIX");
  const std::string name = prefix ? prefix : "";
  for (const Named& row : kFamilies) {
    if (name != row.name) continue;
    Family family = Row(row.name, row.version, row.wow64, row.systemSc);
    family.known = true;
    return family;
  }
  Family unknown = FamilyOfSystem();
  unknown.name = name;
  return unknown;
}

}  // namespace

Family FamilyOfSystem() {
  return Row("native", ReportedVersion(), IsWow64(), PathExists(SystemFolder() + L"\\sc.exe"));
}

const Family& ThisFamily() {
  static const Family family = LookUp();
  return family;
}

std::wstring SupportToolsSc() {
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) return L"";
  return std::wstring(folder) + L"\\Support Tools\\sc.exe";
}

}  // namespace testenv
