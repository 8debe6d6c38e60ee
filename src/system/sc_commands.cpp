#include "system/sc_commands.h"

#include <windows.h>

#include "win/unique_handle.h"
#include "win/ascii_case.h"

namespace apptools2 {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

struct Choice {
  const wchar_t* word;
  DWORD value;
};
constexpr Choice kTypes[] = {{L"OWN", SERVICE_WIN32_OWN_PROCESS},
                             {L"SHARE", SERVICE_WIN32_SHARE_PROCESS},
                             {L"KERNEL", SERVICE_KERNEL_DRIVER},
                             {L"FILESYS", SERVICE_FILE_SYSTEM_DRIVER}};
constexpr Choice kStarts[] = {{L"BOOT", SERVICE_BOOT_START},
                              {L"SYSTEM", SERVICE_SYSTEM_START},
                              {L"AUTO", SERVICE_AUTO_START},
                              {L"DEMAND", SERVICE_DEMAND_START},
                              {L"DISABLED", SERVICE_DISABLED}};

template <size_t N>
bool Choose(const Choice (&choices)[N], const std::wstring& word, DWORD& value) {
  const std::wstring upper = win::UpperCaseAscii(word);
  for (const Choice& choice : choices) {
    if (upper == choice.word) {
      value = choice.value;
      return true;
    }
  }
  return false;
}

// What sc.exe exits with after a failed call. A failure that left no error is still one.
int Failed() {
  const DWORD error = ::GetLastError();
  return error ? static_cast<int>(error) : -1;
}

win::UniqueServiceHandle OpenManager(DWORD access) {
  return win::UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, access));
}

int Create(const std::vector<std::wstring>& args) {
  // sc.exe's defaults, and its syntax: each option word ends in "=" and its value follows.
  DWORD type = SERVICE_WIN32_OWN_PROCESS, start = SERVICE_DEMAND_START;
  const std::wstring* binaryPath = nullptr;
  const std::wstring* displayName = nullptr;
  for (size_t i = 3; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return -1;
    const std::wstring option = win::UpperCaseAscii(args[i]);
    const std::wstring& value = args[i + 1];
    if (option == L"TYPE=") {
      if (!Choose(kTypes, value, type)) return -1;
    } else if (option == L"START=") {
      if (!Choose(kStarts, value, start)) return -1;
    } else if (option == L"BINPATH=") {
      binaryPath = &value;
    } else if (option == L"DISPLAYNAME=") {
      displayName = &value;
    } else {
      return -1;
    }
  }
  if (!binaryPath) return -1;

  win::UniqueServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
  if (!manager) return Failed();
  // As sc.exe: normal error control, no group, tag or dependencies, the default account.
  win::UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), args[2].c_str(), displayName ? displayName->c_str() : nullptr,
                       SERVICE_QUERY_STATUS, type, start, SERVICE_ERROR_NORMAL, binaryPath->c_str(),
                       nullptr, nullptr, nullptr, nullptr, nullptr));
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
  const std::vector<std::wstring> args = SplitArguments(commandLine);
  if (!NamesSc(args) || args.size() < 3) return -1;
  const std::wstring verb = win::UpperCaseAscii(args[1]);
  if (verb == L"CREATE") return Create(args);
  if (args.size() != 3) return -1;
  if (verb == L"START") return OnService(args[2], SERVICE_START, StartIt);
  if (verb == L"STOP") return OnService(args[2], SERVICE_STOP, StopIt);
  if (verb == L"DELETE") return OnService(args[2], DELETE, DeleteIt);
  return -1;
}

}  // namespace apptools2
