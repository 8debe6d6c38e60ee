#include "disk/user_data.h"

#include "env/apptools2.h"

namespace global {

namespace {

constexpr int kCommonDocuments = 0x2E;  // CSIDL_COMMON_DOCUMENTS
constexpr int kCommonAppData = 0x23;    // CSIDL_COMMON_APPDATA

}  // namespace

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring UserDataFolderFor(DWORD majorVersion, std::wstring_view shellFolder,
                               std::wstring_view windowsFolder) {
  std::wstring base(shellFolder);
  if (base.empty() && majorVersion > 5 && !windowsFolder.empty()) {
    const std::wstring fallback =
        std::wstring(windowsFolder.substr(0, 1)) + L":\\Users\\Public\\Documents";
    if (FolderExists(fallback)) base = fallback;
  }
  if (base.empty()) return std::wstring();
  return base + L"\\Dravelin\\Dravelin Tidewell";
}

std::wstring GetUserDataFolder() {
  const DWORD major = apptools2::WindowsMajorVersion();
  const int csidl = major > 5 ? kCommonDocuments : kCommonAppData;
  return UserDataFolderFor(major, apptools2::GetSpecialFolderPath(csidl), apptools2::WindowsFolder);
}

}  // namespace global
