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

bool RunsAsOwnUser(HANDLE process) {
  std::vector<uint8_t> own = ProcessUser(::GetCurrentProcess());
  const auto seam = TestProcessUserSeams().otherProcessUser;
  std::vector<uint8_t> other = seam ? seam(process) : ProcessUser(process);
  if (own.empty() || other.empty()) return false;
  return ::EqualSid(own.data(), other.data()) != FALSE;
}

ProcessUserSeams& TestProcessUserSeams() {
  static ProcessUserSeams seams;
  return seams;
}

}  // namespace ipc
