#include "ipc/process_user.h"

#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace ipc {

namespace {

// TOKEN_USER and the longest SID (68 bytes); DWORD elements, since TOKEN_USER holds pointers.
struct TokenUserBuffer {
  DWORD words[24];
  PSID Sid() const { return reinterpret_cast<const TOKEN_USER*>(words)->User.Sid; }
};

bool ReadTokenUser(HANDLE process, TokenUserBuffer& buffer) {
  win::UniqueKernelHandle token;
  DWORD needed = 0;
  return ::OpenProcessToken(process, TOKEN_QUERY, token.put()) &&
         ::GetTokenInformation(token.get(), TokenUser, buffer.words, sizeof(buffer.words), &needed);
}

}  // namespace

std::vector<uint8_t> ProcessUser(HANDLE process) {
  TokenUserBuffer buffer;
  if (!ReadTokenUser(process, buffer)) return {};
  const auto* bytes = static_cast<const uint8_t*>(buffer.Sid());
  return std::vector<uint8_t>(bytes, bytes + ::GetLengthSid(buffer.Sid()));
}

std::wstring ProcessUserName(HANDLE process) {
  TokenUserBuffer buffer;
  // 256 characters: the longest account name the system allows (UNLEN).
  wchar_t name[257], domain[257];
  DWORD nameLength = 257, domainLength = 257;
  SID_NAME_USE use;
  if (!ReadTokenUser(process, buffer) ||
      !::LookupAccountSidW(nullptr, buffer.Sid(), name, &nameLength, domain, &domainLength, &use)) {
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

uint32_t OwnSessionId() {
  const auto query = win::Entries().processIdToSessionId;
  DWORD session = 0;
  if (!query || !query(::GetCurrentProcessId(), &session)) return 0;
  return session;
}

}  // namespace ipc
