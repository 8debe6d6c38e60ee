#pragma once

#include <windows.h>

#include <string>

// The platform families the tests run in. Each choice the program makes by platform (the
// driver file, the data folder, the registry view, the guard channel's carrier, the sc.exe it
// runs, how it lists folders) is fixed by the family; the tests take what they expect from the
// family's row, not from the system they check.
namespace testenv {

enum class Carrier { Pipe, Port };

struct Family {
  std::string name;  // the Wine prefix's family (TW6_PREFIX); "native" on Windows
  DWORD version;     // 0xMMmm as the system reports it to these tests
  bool wow64;        // the program, a 32-bit process, runs under WOW64
  const wchar_t* driverFile;
  int dataFolderCsidl;  // the shell folder the data folder lies under
  REGSAM view;          // the view flag the program's registry calls carry
  Carrier carrier;
  bool systemSc;       // the system has its own sc.exe (not 2000)
  bool listsFileIds;   // folder listings with file ids (XP and later)
  bool known = false;  // under Wine: TW6_PREFIX names one of the families
};

// The family the system's reported version, WOW64 and sc.exe imply; the other facts follow.
Family FamilyOfSystem();

// Under Wine, the row of the family that TW6_PREFIX names (an unknown name gives the system's
// family with the name kept, which the family test reports); on Windows, FamilyOfSystem().
const Family& ThisFamily();

// Where the Windows 2000 Support Tools keep sc.exe; the 2000 family's prefix has its copy there.
std::wstring SupportToolsSc();

}  // namespace testenv
