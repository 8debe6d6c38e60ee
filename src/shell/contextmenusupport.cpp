#include "shell/contextmenusupport.h"

#include <windows.h>

#include "env/apptools2.h"
#include "system/REG.h"

namespace contextmenusupport {

std::wstring LaunchCommand(std::wstring_view programFolder) {
  return L"\"" + std::wstring(programFolder) + L"\\TW6Log.exe\" \"%1\"";
}

void ContextMenu_Add() {
  HKEY const root = HKEY_CLASSES_ROOT;
  REG::RegistryWriteString(root, L"exefile\\shell\\tw5", L"", ContextMenuCaption);
  REG::RegistryWriteString(root, L"exefile\\shell\\tw5\\command", L"",
                           LaunchCommand(apptools2::ProgramFolder));
  REG::RegistryWriteString(root, L"Msi.Package\\shell\\tw5", L"", ContextMenuCaption);
  REG::RegistryWriteString(root, L"Msi.Package\\shell\\tw5\\command", L"",
                           LaunchCommand(apptools2::ProgramFolder));
}

void ContextMenu_Remove() {
  HKEY const root = HKEY_CLASSES_ROOT;
  REG::RegistryDeleteKeyTree(root, L"exefile\\shell\\tw5\\command");
  REG::RegistryDeleteKeyTree(root, L"exefile\\shell\\tw5");
  REG::RegistryDeleteKeyTree(root, L"Msi.Package\\shell\\tw5\\command");
  REG::RegistryDeleteKeyTree(root, L"Msi.Package\\shell\\tw5");
}

}  // namespace contextmenusupport
