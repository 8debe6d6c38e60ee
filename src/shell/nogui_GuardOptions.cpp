#include "shell/nogui_GuardOptions.h"

#include <initializer_list>

namespace nogui_GuardOptions {

std::array<bool, 4> GuardFlags = {};
std::unique_ptr<NameList> BrowserAndEditorNames;
std::unique_ptr<NameList> InstallerNamePatterns;
std::unique_ptr<NameList> RemovalNamePatterns;
std::unique_ptr<NameList> InstallerWords;
std::unique_ptr<NameList> ShellAndBrowserNames;

namespace {

void CreateOnce(std::unique_ptr<NameList>& list, std::initializer_list<const wchar_t*> entries) {
  if (list) return;
  list = std::make_unique<NameList>();
  for (const wchar_t* entry : entries) list->push_back(entry);
}

}  // namespace

void GuardOptions_SetDefaults() {
  GuardFlags.fill(true);
  CreateOnce(BrowserAndEditorNames,
             {L"ie.exe", L"iexplore.exe", L"firefox.exe", L"chrome.exe", L"opera.exe",
              L"notepad.exe", L"wordpad.exe", L"Corvalis\\updater\\updater.exe"});
  CreateOnce(RemovalNamePatterns, {L"*uninst*.exe", L"*deinstall*.exe", L"avast.setup"});
  CreateOnce(InstallerNamePatterns,
             {L"*setup*.exe", L"*install*.exe", L"appinst.exe", L"asinstal.exe", L"instalcd.exe",
              L"tuavinst.exe", L"wininst.exe", L"winsetup.exe", L"wsetup.exe", L"wksbinst.exe",
              L"wrar*.exe"});
  CreateOnce(InstallerWords, {L"Setup", L"Install", L"Installation"});
  CreateOnce(ShellAndBrowserNames, {L"explorer.exe", L"ie.exe", L"iexplore.exe", L"firefox.exe",
                                    L"chrome.exe", L"opera.exe", L"MicrosoftEdge.exe"});
}

void StartUp() { GuardOptions_SetDefaults(); }

}  // namespace nogui_GuardOptions
