#include "support/sandbox.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <sstream>

#include "support/family.h"
#include "support/maint.h"
#include "support/registry.h"
#include "support/services.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace sandbox {

namespace {

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\TW5IFS";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kGuardValue[] = L"Dravelin Tidewell 6 Guard";
const wchar_t* const kVerbKeys[] = {L"exefile\\shell\\tw5", L"exefile\\shell\\tw5\\command",
                                    L"Msi.Package\\shell\\tw5",
                                    L"Msi.Package\\shell\\tw5\\command"};

std::string Narrow(const std::wstring& text) {
  std::string result;
  for (wchar_t c : text) result += c < 128 ? static_cast<char>(c) : '?';
  return result;
}

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}

void MakeFolders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
}

void Fail(std::vector<std::string>* problems, const std::string& what) {
  if (problems) problems->push_back(what);
}

std::string ReadValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  if (!testenv::KeyExists(root, key, testenv::NativeView())) return "-";
  const testenv::RawValue value =
      testenv::ReadValue(root, key, name ? name : L"", testenv::NativeView());
  if (!value.found) return "(key, no value)";
  const size_t size = value.bytes.size();
  switch (value.type) {
    case REG_DWORD: {
      DWORD data = 0;
      memcpy(&data, value.bytes.data(), size < 4 ? size : 4);
      return "REG_DWORD " + std::to_string(data);
    }
    case REG_SZ:
    case REG_EXPAND_SZ:
      return std::string(value.type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " (" +
             std::to_string(size) + " bytes) \"" +
             Narrow(std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data()), size / 2)
                        .c_str()) +
             "\"";
    default:
      return "type " + std::to_string(value.type) + ", " + std::to_string(size) + " bytes";
  }
}

std::string ServiceFact(const std::wstring& name) {
  if (!testenv::ServiceExists(name)) return "-";
  static const char* const states[] = {"unknown",       "stopped", "start pending",
                                       "stop pending",  "running", "continue pending",
                                       "pause pending", "paused"};
  const DWORD state = testenv::ServiceState(name);
  return state < 8 ? states[state] : "state " + std::to_string(state);
}

// Files below a folder, or "-" when the folder is not there.
std::string FolderFact(const std::wstring& folder) {
  if (!testenv::PathExists(folder)) return "-";
  int files = 0, folders = 0;
  std::vector<std::wstring> pending = {folder};
  while (!pending.empty()) {
    const std::wstring current = pending.back();
    pending.pop_back();
    WIN32_FIND_DATAW data;
    win::UniqueFindHandle find(::FindFirstFileW((current + L"\\*").c_str(), &data));
    if (!find) continue;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ++folders;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
          pending.push_back(current + L"\\" + name);
        }
      } else {
        ++files;
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  return std::to_string(files) + " files, " + std::to_string(folders) + " folders";
}

}  // namespace

void Clear(const Layout& layout) {
  testenv::DeleteTestService(L"KorvaS");
  testenv::DeleteTestService(L"TW5IFS");
  testenv::DeleteTree(HKEY_LOCAL_MACHINE, kServiceKey, testenv::NativeView());
  for (const wchar_t* key : {L"exefile\\shell\\tw5", L"Msi.Package\\shell\\tw5"}) {
    testenv::DeleteTree(HKEY_CLASSES_ROOT, key, testenv::NativeView());
  }
  testenv::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kGuardValue, testenv::NativeView());
  for (const std::wstring& folder :
       {layout.dataFolder, layout.dataFolder + L" 5", layout.programFolder + L"\\SnapShots"}) {
    testenv::RemoveTree(folder);
  }
}

Layout DefaultLayout() {
  Layout layout;
  layout.programFolder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Dravelin Tidewell 6";
  const std::wstring base = ShellFolder(testenv::ThisFamily().dataFolderCsidl);
  layout.dataFolder = base + L"\\Dravelin\\Dravelin Tidewell";
  return layout;
}

int CountProcesses(const std::wstring& exeName) {
  win::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok;
       ok = ::Process32NextW(snapshot.get(), &entry)) {
    std::wstring name = entry.szExeFile;
    name = name.substr(name.find_last_of(L'\\') + 1);
    // The test guard, which -UNINSTALL cannot end, is the test's, not the product's.
    if (::lstrcmpiW(name.c_str(), exeName.c_str()) == 0 &&
        !testenv::IsTestGuard(entry.th32ProcessID)) {
      ++count;
    }
  }
  return count;
}

bool InstalledProduct::Seed(const Layout& layout, bool installed,
                            std::vector<std::string>* problems) {
  const size_t before = problems ? problems->size() : 0;
  Clear(layout);
  MakeFolders(layout.programFolder);
  if (!testenv::CopyTo(testenv::BuiltMaint(), layout.maint())) Fail(problems, "copy TW6Maint.exe");
  if (!installed) return !problems || problems->size() == before;

  // The guard's pipe side, on every carrier: where the port is the carrier, it must hear nothing.
  guard_ = std::make_unique<testenv::TestGuard>();
  if (!guard_->ready()) Fail(problems, "start the test guard");
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    processes_.push_back(testenv::StartSleeperAs(layout.programFolder + L"\\" + name));
    if (!processes_.back().started()) Fail(problems, "start " + Narrow(name));
  }

  const std::wstring korvas = testenv::BuiltProgram(L"tw6-test-service.exe");
  testenv::DeleteTestService(L"KorvaS");
  if (!testenv::PathExists(korvas) ||
      !testenv::CreateTestService(L"KorvaS", testenv::Quoted(korvas)) ||
      !testenv::StartTestService(L"KorvaS")) {
    Fail(problems, "register and start KorvaS");
  }

  const std::wstring driver = layout.programFolder + L"\\" + testenv::ThisFamily().driverFile;
  if (!testenv::CreateDriverService(L"TW5IFS", L"Dravelin Tidewell FileSystemChanges Driver",
                                    driver)) {
    Fail(problems, "register TW5IFS");
  }
  // The values an installation writes beside what sc.exe registers.
  const std::wstring service = kServiceKey, instance = service + L"\\Instances\\TW5Log Instance";
  const DWORD zero = 0;
  const REGSAM view = testenv::NativeView();
  testenv::WriteValue(HKEY_LOCAL_MACHINE, service, L"DependOnGroup", REG_EXPAND_SZ, nullptr, 0,
                      view);
  for (const auto& [name, text] :
       {std::pair<const wchar_t*, const wchar_t*>{L"DependOnService", L"FltMgr"},
        {L"Group", L"FSFilter Content Screener"}}) {
    const std::vector<std::uint8_t> bytes = testenv::TextBytes(text);
    testenv::WriteValue(HKEY_LOCAL_MACHINE, service, name, REG_EXPAND_SZ, bytes.data(),
                        static_cast<DWORD>(bytes.size()), view);
  }
  testenv::WriteText(HKEY_LOCAL_MACHINE, service + L"\\Instances", L"DefaultInstance",
                     L"TW5Log Instance", view);
  testenv::WriteValue(HKEY_LOCAL_MACHINE, instance, L"Flags", REG_DWORD, &zero, 4, view);
  testenv::WriteText(HKEY_LOCAL_MACHINE, instance, L"Altitude", L"265001", view);

  const std::wstring launch = L"\"" + layout.programFolder + L"\\TW6Log.exe\" \"%1\"";
  for (const wchar_t* key : kVerbKeys) {
    const bool command = std::wstring(key).find(L"command") != std::wstring::npos;
    if (!testenv::WriteText(HKEY_CLASSES_ROOT, key, L"",
                            command ? launch : L"Install with Dravelin Tidewell 5",
                            testenv::NativeView())) {
      Fail(problems, "write verb " + Narrow(key));
    }
  }
  if (!testenv::WriteText(HKEY_LOCAL_MACHINE, kRunKey, kGuardValue,
                          L"\"" + layout.programFolder + L"\\TW6Guard.exe\"",
                          testenv::NativeView())) {
    Fail(problems, "write the Run value");
  }

  for (const std::wstring& folder :
       {layout.dataFolder, layout.dataFolder + L" 5", layout.programFolder + L"\\SnapShots"}) {
    MakeFolders(folder + L"\\Logs");
    testenv::WriteFileText(folder + L"\\settings.ini", "[tw6]\r\n");
    testenv::WriteFileText(folder + L"\\Logs\\install.log", "log\r\n");
  }
  return !problems || problems->size() == before;
}

void InstalledProduct::StopProcesses() {
  processes_.clear();
  guard_.reset();
}

std::string InstalledProduct::GuardMessages() const {
  if (!guard_) return "(no test guard on this carrier)";
  guard_->Sync();  // every message handed over before is logged after this
  std::string text;
  for (const std::string& line : guard_->Lines()) {
    if (line.size() >= 9 && line.compare(line.size() - 9, 9, " 73796e63") == 0) continue;  // sync
    text += (text.empty() ? "" : "; ") + line;
  }
  return text.empty() ? "-" : text;
}

std::string Snapshot::Value(const std::string& name) const {
  for (const Fact& fact : facts) {
    if (fact.name == name) return fact.value;
  }
  return "?";
}

Snapshot TakeSnapshot(const Layout& layout, const InstalledProduct& product) {
  Snapshot s;
  struct Adder {
    Snapshot& s;
    struct Slot {
      Snapshot& s;
      std::string key;
      void operator=(const std::string& value) {
        s.facts.push_back({key[0] - '0', key.substr(2), value});
      }
    };
    Slot operator[](const std::string& key) { return Slot{s, key}; }
  } f{s};
  f["1 service KorvaS"] = ServiceFact(L"KorvaS");
  f["1 service TW5IFS"] = ServiceFact(L"TW5IFS");
  for (const wchar_t* name : {L"TW6.exe", L"TW6Log.exe", L"TW6Guard.exe"}) {
    f["2 process " + Narrow(name)] = std::to_string(CountProcesses(name)) + " running";
  }
  const std::wstring instance = std::wstring(kServiceKey) + L"\\Instances\\TW5Log Instance";
  const struct {
    std::wstring key;
    const wchar_t* value;
  } values[] = {{kServiceKey, L"Type"},
                {kServiceKey, L"Start"},
                {kServiceKey, L"ImagePath"},
                {kServiceKey, L"DependOnGroup"},
                {kServiceKey, L"DependOnService"},
                {kServiceKey, L"Group"},
                {std::wstring(kServiceKey) + L"\\Instances", L"DefaultInstance"},
                {instance, L"Flags"},
                {instance, L"Altitude"}};
  for (const auto& v : values) {
    f["3 HKLM\\" + Narrow(v.key) + " : " + Narrow(v.value)] =
        ReadValue(HKEY_LOCAL_MACHINE, v.key, v.value);
  }
  for (const wchar_t* key : kVerbKeys) {
    f["4 HKCR\\" + Narrow(key) + " : (default)"] = ReadValue(HKEY_CLASSES_ROOT, key, nullptr);
  }
  f["5 HKLM\\" + Narrow(kRunKey) + " : " + Narrow(kGuardValue)] =
      ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kGuardValue);
  f["6 folder " + Narrow(layout.dataFolder)] = FolderFact(layout.dataFolder);
  f["6 folder " + Narrow(layout.dataFolder + L" 5")] = FolderFact(layout.dataFolder + L" 5");
  f["6 folder " + Narrow(layout.programFolder + L"\\SnapShots")] =
      FolderFact(layout.programFolder + L"\\SnapShots");
  f["7 messages the guard received"] = product.GuardMessages();
  return s;
}

std::string Report(const Snapshot& before, const Snapshot& after) {
  static const char* const groups[] = {
      "",        "Services",     "Product processes", "Driver service values", "Context-menu verbs",
      "Autorun", "Data folders", "Guard channel"};
  std::ostringstream out;
  int group = 0;
  for (const Snapshot::Fact& fact : before.facts) {
    if (fact.group != group) {
      group = fact.group;
      out << groups[group] << ":\n";
    }
    const std::string now = after.Value(fact.name);
    if (now == fact.value) {
      out << "    " << fact.name << ": " << fact.value << "\n";
    } else {
      out << "  * " << fact.name << "\n        before: " << fact.value
          << "\n        after:  " << now << "\n";
    }
  }
  out << "(* changed by the run)\n";
  return out.str();
}

}  // namespace sandbox
