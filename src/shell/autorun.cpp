#include "shell/autorun.h"

#include <windows.h>

#include "system/REG.h"

namespace global {

bool RemoveGuardAutorun() {
  return REG::RegistryDeleteValue(HKEY_LOCAL_MACHINE,
                                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                  L"Dravelin Tidewell 6 Guard");
}

}  // namespace global
