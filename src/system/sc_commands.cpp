#include "system/sc_commands.h"

#include <windows.h>

#include "driver/Treiber_IFS.h"
#include "env/apptools2.h"
#include "win/ascii_case.h"
#include "win/unique_handle.h"

namespace apptools2 {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// What sc.exe exits with after a failed call. A failure that left no error is still one.
int Failed() {
  const DWORD error = ::GetLastError();
  return error ? static_cast<int>(error) : -1;
}

win::UniqueServiceHandle OpenManager(DWORD access) {
  return win::UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, access));
}

// The driver's create, the one form the program builds: "sc.exe create NAME type= filesys
// start= auto binPath= P DisplayName= D".
int Create(const std::vector<std::wstring>& args) {
  win::UniqueServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
  if (!manager) return Failed();
  // As sc.exe: normal error control, no group, tag or dependencies, the default account.
  win::UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), args[2].c_str(), args[10].c_str(), SERVICE_QUERY_STATUS,
                       SERVICE_FILE_SYSTEM_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                       args[8].c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return service ? 0 : Failed();
}

int OnService(const std::wstring& name, DWORD access, BOOL (*act)(SC_HANDLE)) {
  win::UniqueServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
  if (!manager) return Failed();
  win::UniqueServiceHandle service(::OpenServiceW(manager.get(), name.c_str(), access));
  if (!service) return Failed();
  return act(service.get()) ? 0 : Failed();
}

BOOL StartIt(SC_HANDLE service) { return ::StartServiceW(service, 0, nullptr); }

BOOL StopIt(SC_HANDLE service) {
  SERVICE_STATUS status = {};
  return ::ControlService(service, SERVICE_CONTROL_STOP, &status);
}

BOOL DeleteIt(SC_HANDLE service) { return ::DeleteService(service); }

bool NamesSc(const std::vector<std::wstring>& args) {
  if (args.empty()) return false;
  const std::wstring program = win::UpperCaseAscii(args[0]);
  return program == L"SC" || program == L"SC.EXE";
}

// The program runs nothing but the lines it builds itself (the driver's and the legacy
// service's), and carries out no other with its rights.
bool IsProgramsOwnLine(std::wstring_view line) {
  for (const std::wstring_view own : {L"sc delete KorvaS", L"sc.exe start TW5IFS",
                                      L"sc.exe stop TW5IFS", L"sc.exe delete TW5IFS"}) {
    if (line == own) return true;
  }
  return line == Treiber_IFS::CreateCommandLine(ProgramFolder, Is64BitWindows);
}

}  // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view line) {
  std::vector<std::wstring> args;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) return args;
    std::wstring arg;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      size_t slashes = 0;
      while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
      if (i < line.size() && line[i] == L'"') {
        // 2n backslashes and a quote: n backslashes, the quote opens or closes; 2n+1: a quote.
        arg.append(slashes / 2, L'\\');
        if (slashes % 2 == 1) {
          arg += L'"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          arg += L'"';  // "" inside quotes stands for one quote
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
        continue;
      }
      arg.append(slashes, L'\\');
      if (i < line.size() && (quoted || !IsBlank(line[i]))) arg += line[i++];
    }
    args.push_back(std::move(arg));
  }
}

bool IsScCommand(std::wstring_view commandLine) { return NamesSc(SplitArguments(commandLine)); }

int RunScCommand(std::wstring_view commandLine) {
  if (!IsProgramsOwnLine(commandLine)) return -1;
  const std::vector<std::wstring> args = SplitArguments(commandLine);
  if (!NamesSc(args) || args.size() < 3) return -1;
  const std::wstring& verb = args[1];
  if (verb == L"create") return args.size() == 11 ? Create(args) : -1;
  if (args.size() != 3) return -1;
  if (verb == L"start") return OnService(args[2], SERVICE_START, StartIt);
  if (verb == L"stop") return OnService(args[2], SERVICE_STOP, StopIt);
  if (verb == L"delete") return OnService(args[2], DELETE, DeleteIt);
  return -1;
}

}  // namespace apptools2
