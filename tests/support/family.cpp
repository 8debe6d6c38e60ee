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

Family LookUp() {
  const char* prefix = std::getenv("TW6_PREFIX");
  const std::string name = prefix ? prefix : "";
  if (!IsWine()) return FamilyOfSystem();
  // Windows 10 reports 6.2 to a program that does not declare it in its manifest, as these
  // tests do not; XP x64 reports 5.2. Wine answers as Windows does.
  if (name == "win64") return Row("win64", 0x0602, true, true);
  if (name == "xp32") return Row("xp32", 0x0501, false, true);
  if (name == "win10-32") return Row("win10-32", 0x0602, false, true);
  if (name == "xp64") return Row("xp64", 0x0502, true, true);
  if (name == "w2k32") return Row("w2k32", 0x0500, false, false);
  Family unknown = FamilyOfSystem();
  unknown.name = name;
  return unknown;
}

}  // namespace

bool Family::operator==(const Family& other) const {
  return version == other.version && wow64 == other.wow64 &&
         std::wstring(driverFile) == other.driverFile && dataFolderCsidl == other.dataFolderCsidl &&
         view == other.view && carrier == other.carrier && systemSc == other.systemSc &&
         listsFileIds == other.listsFileIds;
}

Family FamilyOfSystem() {
  Family family =
      Row("native", ReportedVersion(), IsWow64(), PathExists(SystemFolder() + L"\\sc.exe"));
  return family;
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

bool BringScWhereTheSystemHasNone(const std::wstring& folder) {
  if (ThisFamily().systemSc) return true;
  return CopyTo(SupportToolsSc(), folder + L"\\sc.exe");
}

}  // namespace testenv
