#include "support/file_security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace testenv {

std::vector<std::uint8_t> DescriptorFromSddl(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ULONG size = 0;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, &size)) {
    return {};
  }
  const auto* bytes = static_cast<const std::uint8_t*>(descriptor);
  std::vector<std::uint8_t> result(bytes, bytes + size);
  ::LocalFree(descriptor);
  return result;
}

std::vector<std::uint8_t> SidFromText(const std::wstring& text) {
  PSID sid = nullptr;
  if (!::ConvertStringSidToSidW(text.c_str(), &sid)) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(sid);
  std::vector<std::uint8_t> result(bytes, bytes + ::GetLengthSid(sid));
  ::LocalFree(sid);
  return result;
}

bool GrantEveryoneFullControl(const std::wstring& path) {
  std::vector<std::uint8_t> descriptor = DescriptorFromSddl(L"D:(A;OICI;FA;;;WD)");
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (descriptor.empty() ||
      !::GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted)) {
    return false;
  }
  return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                 nullptr) == ERROR_SUCCESS;
}

}  // namespace testenv
