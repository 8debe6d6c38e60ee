#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "env/apptools2.h"
#include "app/startup.h"
#include "support/family.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "win/entry_points.h"

namespace {

TEST(EnvironmentTest, FolderOfPathCutsAtTheLastBackslash) {
  EXPECT_EQ(apptools2::FolderOfPath(L"C:\\Program Files\\TW 6\\TW6Maint.exe"),
            L"C:\\Program Files\\TW 6");
  EXPECT_EQ(apptools2::FolderOfPath(L"T:\\TW6Maint.exe"), L"T:");
  EXPECT_EQ(apptools2::FolderOfPath(L"TW6Maint.exe"), L"");
}

TEST(EnvironmentTest, Is64BitWindowsFollowsTheFamilyAndAMissingEntry) {
  app::StartUp();
  EXPECT_EQ(apptools2::Is64BitWindows, testenv::Is64BitSystem());
  {
    ScopedSeams<win::EntryPoints> entries(win::Entries());
    entries->isWow64Process = nullptr;
    apptools2::StartUp();
    EXPECT_FALSE(apptools2::Is64BitWindows);
  }
  apptools2::StartUp();
}

// The system's own version through RtlGetVersion, where GetVersionExW may answer another one
// (6.2 on Windows 10 for a program whose manifest names no later system, or a compatibility
// layer's); GetVersionExW's answer only where ntdll lacks the entry (2000).
TEST(EnvironmentTest, TheVersionIsTheSystemsOwnAndGetVersionExOnlyWithoutTheEntry) {
  // The family's row holds what these tests, whose manifest names no system, are told.
  const DWORD reported = testenv::ThisFamily().version;
  EXPECT_EQ(apptools2::WindowsVersion(), reported == 0x0602 ? 0x0A00u : reported);
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(::GetVersionExW(&info));
  ScopedSeams<win::EntryPoints> entries(win::Entries());
  entries->rtlGetVersion = nullptr;
  EXPECT_EQ(apptools2::WindowsVersion(), info.dwMajorVersion << 8 | info.dwMinorVersion);
}

TEST(EnvironmentTest, AVirtualFolderHasNoPath) {
  EXPECT_EQ(apptools2::GetSpecialFolderPath(CSIDL_CONTROLS), L"");
}

std::wstring ModulePath(const void* address) {
  HMODULE module = nullptr;
  wchar_t path[MAX_PATH] = {};
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module) ||
      !::GetModuleFileNameW(module, path, MAX_PATH)) {
    return L"";
  }
  return path;
}

// The folder lookups go through shell32 and ole32 taken from the system folder on first use;
// without an entry the lookup fails as a result, never by a call through null.
TEST(EnvironmentTest, SpecialFoldersComeThroughTheSystemFoldersShellEntries) {
  win::ShellEntries& shell = win::LoadShellEntries();
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  const auto inSystemFolder = [&](const void* entry, const wchar_t* file) {
    return ::lstrcmpiW(ModulePath(entry).c_str(),
                       (std::wstring(system, length) + L"\\" + file).c_str()) == 0;
  };
  ASSERT_TRUE(shell.coInitialize && shell.coTaskMemFree && shell.shGetSpecialFolderLocation &&
              shell.shGetPathFromIDList);
  EXPECT_TRUE(inSystemFolder(reinterpret_cast<const void*>(shell.coInitialize), L"ole32.dll"));
  EXPECT_TRUE(inSystemFolder(reinterpret_cast<const void*>(shell.shGetSpecialFolderLocation),
                             L"shell32.dll"));

  wchar_t expected[MAX_PATH] = {};
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, expected, CSIDL_COMMON_APPDATA, FALSE));
  EXPECT_EQ(apptools2::GetSpecialFolderPath(CSIDL_COMMON_APPDATA), expected);

  ScopedSeams<win::ShellEntries> entries(shell);
  entries->shGetSpecialFolderLocation = nullptr;
  EXPECT_EQ(apptools2::GetSpecialFolderPath(CSIDL_COMMON_APPDATA), L"");
}

}  // namespace
