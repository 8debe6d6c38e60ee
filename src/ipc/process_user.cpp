#include "ipc/process_user.h"

#include "win/unique_handle.h"

namespace ipc {

std::vector<uint8_t> ProcessUser(HANDLE process) {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.put())) return {};
  DWORD needed = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
  if (needed < sizeof(TOKEN_USER)) return {};
  // DWORD elements: TOKEN_USER holds pointers and must be aligned.
  std::vector<DWORD> buffer((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &needed)) {
    return {};
  }
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  const DWORD length = ::GetLengthSid(sid);
  const auto* bytes = static_cast<const uint8_t*>(sid);
  return std::vector<uint8_t>(bytes, bytes + length);
}

std::wstring ProcessUserName(HANDLE process) {
  std::vector<uint8_t> sid = ProcessUser(process);
  if (sid.empty()) return std::wstring();
  // 256 characters: the longest account name the system allows (UNLEN).
  wchar_t name[257], domain[257];
  DWORD nameLength = 257, domainLength = 257;
  SID_NAME_USE use;
  if (!::LookupAccountSidW(nullptr, sid.data(), name, &nameLength, domain, &domainLength, &use)) {
    return std::wstring();
  }
  return std::wstring(name, nameLength);
}

bool RunsAsOwnUser(HANDLE process) {
  std::vector<uint8_t> own = ProcessUser(::GetCurrentProcess());
  std::vector<uint8_t> other = TestProcessUserSeams().otherProcessUser(process);
  if (own.empty() || other.empty()) return false;
  return ::EqualSid(own.data(), other.data()) != FALSE;
}

ProcessUserSeams& TestProcessUserSeams() {
  static ProcessUserSeams seams;
  return seams;
}

std::wstring OwnUserName() { return TestProcessUserSeams().ownUserName(); }

std::wstring UserNameOf(HANDLE process) { return TestProcessUserSeams().processUserName(process); }

}  // namespace ipc
