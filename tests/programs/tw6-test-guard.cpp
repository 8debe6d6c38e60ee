// A stand-in for the product's guard: tw6-test-guard.exe LOGFILE [--user NAME] [--no-answer]
// owns the pipe-carrier channel "TW6_GuardChannel_" + the user name (the current one, or NAME)
// until it is killed, and appends one line per message to LOGFILE, flushed at once:
// "<channel> <length in decimal> <bytes in lower-case hex>". A message that asks for an answer
// gets its own bytes back (cut or zero-filled to the answer length); with --no-answer the guard
// takes messages up but never answers. It is ready once the channel's queue map exists.
// Tests run it as TW6Guard.exe, the only name the program's sender accepts for a guard.
#include <windows.h>
#include <aclapi.h>

#include <cwchar>
#include <string>

#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "ipc/receiver/receiver.h"
#include "win/unique_handle.h"

namespace {

// -UNINSTALL ends every TW6Guard.exe right after its message, and a test reads this guard's log
// after the run: everyone may open this process for all but the terminate right, which only
// the creator's handle keeps. Wine checks a process's DACL on open and ignores SeDebugPrivilege.
bool RefuseTerminate() {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return false;
  }
  // Every right of Vista's mask but terminate: Wine adds the limited query right (0x1000) to
  // every query-information open, which XP's PROCESS_ALL_ACCESS lacks.
  constexpr DWORD kAllButTerminate =
      (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF) & ~PROCESS_TERMINATE;
  alignas(DWORD) unsigned char buffer[128];
  auto* acl = reinterpret_cast<PACL>(buffer);
  const bool ok =
      ::InitializeAcl(acl, sizeof(buffer), ACL_REVISION) &&
      ::AddAccessAllowedAce(acl, ACL_REVISION, kAllButTerminate, everyone) &&
      ::SetSecurityInfo(::GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, acl, nullptr) == ERROR_SUCCESS;
  ::FreeSid(everyone);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (!RefuseTerminate()) return 5;
  std::wstring user = apptools2::GetCurrentUserName();
  bool answer = true;
  for (int i = 2; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--user") == 0 && i + 1 < argc) {
      user = argv[++i];
    } else if (std::wcscmp(argv[i], L"--no-answer") == 0) {
      answer = false;
    } else {
      return 2;
    }
  }

  win::UniqueFileHandle log(::CreateFileW(argv[1], FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log) return 3;

  const std::string channel = IPCClient::GuardChannelName(user);
  ipc::PipeReceiver receiver(channel, [&](std::string_view name, const uint8_t* message,
                                          uint32_t length, uint8_t* answerBuf, uint32_t answerLen) {
    static const char kDigits[] = "0123456789abcdef";
    std::string line(name);
    line += " " + std::to_string(length) + " ";
    for (uint32_t i = 0; i < length; ++i) {
      line += kDigits[message[i] >> 4];
      line += kDigits[message[i] & 0xF];
    }
    line += "\n";
    DWORD written = 0;
    ::WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::FlushFileBuffers(log.get());
    if (!answer) {
      for (;;) ::Sleep(INFINITE);
    }
    for (uint32_t i = 0; i < answerLen && i < length; ++i) answerBuf[i] = message[i];
  });
  if (!receiver.Start()) return 4;
  for (;;) ::Sleep(INFINITE);
}
