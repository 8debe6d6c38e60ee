// -INSTALL and -UNINSTALL as the installer runs them: the driver service, its registry values,
// the verbs and the debugger lines, checked through the API.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/driver_service.h"
#include "support/family.h"
#include "support/file_security.h"
#include "support/maint.h"
#include "support/registry.h"
#include "support/services.h"
#include "support/sleepers.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

using testenv::NativeView;
using testenv::TextBytes;
using Bytes = std::vector<std::uint8_t>;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The debugger line before the driver's create, for the driver file at that path.
std::string CreateLine(const std::wstring& driver) {
  return "(TW Driver_Install) -> sc.exe create TW5IFS type= filesys start= auto binPath= \"" +
         Narrow(driver) + "\" DisplayName= \"Dravelin Tidewell FileSystemChanges Driver\"";
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

void RemoveVerbs() {
  testenv::DeleteTree(HKEY_CLASSES_ROOT, testenv::kExeVerbKey, NativeView());
  testenv::DeleteTree(HKEY_CLASSES_ROOT, testenv::kMsiVerbKey, NativeView());
}

std::wstring ServiceBinaryPath(const std::wstring& name) {
  win::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  win::UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  if (!service ||
      !::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                             static_cast<DWORD>(buffer.size()), &needed)) {
    return L"";
  }
  const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_FILE_SYSTEM_DRIVER));
  EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_STREQ(config->lpDisplayName, L"Dravelin Tidewell FileSystemChanges Driver");
  return config->lpBinaryPathName;
}

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::RemoveDriverService();
    RemoveVerbs();
  }
  void TearDown() override {
    testenv::RemoveDriverService();
    RemoveVerbs();
  }

  // The eight values of the driver service, with their exact types and bytes.
  void ExpectServiceValues() {
    const std::wstring service = testenv::kDriverServiceKey;
    const std::wstring instance = service + L"\\Instances\\TW5Log Instance";
    struct Expected {
      std::wstring key, name;
      DWORD type;
      Bytes bytes;
    };
    const Expected values[] = {
        {service, L"Type", REG_DWORD, Bytes{2, 0, 0, 0}},
        {service, L"Start", REG_DWORD, Bytes{2, 0, 0, 0}},
        {service, L"DependOnGroup", REG_EXPAND_SZ, Bytes{}},
        {service, L"DependOnService", REG_EXPAND_SZ, TextBytes(L"FltMgr")},
        {service, L"Group", REG_EXPAND_SZ, TextBytes(L"FSFilter Content Screener")},
        {service + L"\\Instances", L"DefaultInstance", REG_SZ, TextBytes(L"TW5Log Instance")},
        {instance, L"Flags", REG_DWORD, Bytes{0, 0, 0, 0}},
        {instance, L"Altitude", REG_SZ, TextBytes(L"265001")},
    };
    for (const Expected& e : values) {
      const testenv::RawValue value =
          testenv::ReadValue(HKEY_LOCAL_MACHINE, e.key, e.name, NativeView());
      EXPECT_TRUE(value.found) << Narrow(e.name);
      EXPECT_EQ(value.type, e.type) << Narrow(e.name);
      EXPECT_EQ(value.bytes, e.bytes) << Narrow(e.name);
    }
  }

  void ExpectVerbs(const std::wstring& folder) {
    const Bytes command = TextBytes(L"\"" + folder + L"\\TW6Log.exe\" \"%1\"");
    for (const std::wstring verb : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
      const testenv::RawValue caption =
          testenv::ReadValue(HKEY_CLASSES_ROOT, verb, L"", NativeView());
      EXPECT_EQ(caption.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(caption.bytes, TextBytes(L"Install with Dravelin Tidewell 5")) << Narrow(verb);
      const testenv::RawValue launch =
          testenv::ReadValue(HKEY_CLASSES_ROOT, verb + L"\\command", L"", NativeView());
      EXPECT_EQ(launch.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(launch.bytes, command) << Narrow(verb);
    }
  }
};

TEST_F(InstallTest, InstallFromAFolderWithBlanksThenAgainThenUninstall) {
  testenv::ScratchFolder folder(L"Program Files x86");
  const std::wstring exe = folder / L"TW6Maint.exe";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), exe));
  const std::wstring driver = folder / testenv::ThisFamily().driverFile;

  const testenv::MaintRun first = testenv::RunMaint(exe, L"-INSTALL");
  EXPECT_EQ(first.exitCode, 0u);
  ASSERT_EQ(first.debugLines.size(), 3u);
  EXPECT_EQ(first.debugLines[0], CreateLine(driver));
  EXPECT_EQ(first.debugLines[1], "(TW Driver_Install) -> errorcode=0");
  // The driver file is not ours and not there: the start fails, and says so.
  EXPECT_TRUE(StartsWith(first.debugLines[2], "(TW Driver_Start) -> errorcode="));
  EXPECT_NE(first.debugLines[2], "(TW Driver_Start) -> errorcode=0");
  // Windows's manager keeps a driver's path in the NT form "\\??\\C:\\..."; Wine's keeps it as
  // given.
  const std::wstring binary = ServiceBinaryPath(L"TW5IFS");
  EXPECT_TRUE(binary.find(driver) == 0 || binary.find(L"\\??\\" + driver) == 0) << Narrow(binary);
  ExpectServiceValues();
  ExpectVerbs(folder.path());

  // A second run finds the service: the create fails, the values are written again.
  ASSERT_TRUE(testenv::WriteText(HKEY_LOCAL_MACHINE, testenv::kDriverServiceKey, L"Group",
                                 L"changed", NativeView()));
  testenv::DeleteValue(HKEY_LOCAL_MACHINE,
                       std::wstring(testenv::kDriverServiceKey) + L"\\Instances\\TW5Log Instance",
                       L"Altitude", NativeView());
  ASSERT_TRUE(testenv::WriteText(HKEY_CLASSES_ROOT,
                                 std::wstring(testenv::kExeVerbKey) + L"\\command", L"", L"stale",
                                 NativeView()));
  const testenv::MaintRun second = testenv::RunMaint(exe, L"-install");
  EXPECT_EQ(second.exitCode, 0u);
  ASSERT_EQ(second.debugLines.size(), 3u);
  EXPECT_EQ(second.debugLines[0], first.debugLines[0]);
  EXPECT_TRUE(StartsWith(second.debugLines[1], "(TW Driver_Install) -> errorcode="));
  EXPECT_NE(second.debugLines[1], "(TW Driver_Install) -> errorcode=0");
  ExpectServiceValues();
  ExpectVerbs(folder.path());

  // Extra subkeys under a verb go with it; the "shell" and class keys stay.
  ASSERT_TRUE(testenv::CreateKey(HKEY_CLASSES_ROOT,
                                 std::wstring(testenv::kExeVerbKey) + L"\\command\\extra\\deeper",
                                 NativeView()));
  ASSERT_TRUE(testenv::CreateKey(
      HKEY_CLASSES_ROOT, std::wstring(testenv::kMsiVerbKey) + L"\\DropTarget", NativeView()));
  const testenv::MaintRun removal = testenv::RunMaint(exe, L"-UNINSTALL");
  EXPECT_EQ(removal.exitCode, 0u);
  ASSERT_EQ(removal.debugLines.size(), 3u);
  EXPECT_TRUE(StartsWith(removal.debugLines[0], "(TW Driver_Stop) -> errorcode="));
  EXPECT_EQ(removal.debugLines[1], "(TW Driver_Uninstall) -> sc.exe delete TW5IFS");
  EXPECT_EQ(removal.debugLines[2], "(TW Driver_Uninstall) -> errorcode=0");
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
  EXPECT_FALSE(testenv::KeyExists(HKEY_LOCAL_MACHINE, testenv::kDriverServiceKey, NativeView()));
  for (const wchar_t* key : {testenv::kExeVerbKey, testenv::kMsiVerbKey}) {
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, key, NativeView())) << Narrow(key);
  }
  for (const wchar_t* key :
       {L"exefile\\shell", L"Msi.Package\\shell", L"exefile", L"Msi.Package"}) {
    EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, key, NativeView())) << Narrow(key);
  }
}

// What a standard user could replace is not registered, from a run for real: the driver when
// its file or the program folder is writable by Everyone, the verbs when TW6Log.exe or the
// folder is. A verb registered earlier stays as it was.
enum class Writable { ProgramFolder, DriverFile, Logger };

const char* Name(Writable writable) {
  return writable == Writable::ProgramFolder ? "ProgramFolder"
         : writable == Writable::DriverFile  ? "DriverFile"
                                             : "Logger";
}
void PrintTo(Writable writable, std::ostream* os) { *os << Name(writable); }

class ReplaceableInstallTest : public InstallTest,
                               public ::testing::WithParamInterface<Writable> {};

TEST_P(ReplaceableInstallTest, NothingReplaceableIsRegistered) {
  testenv::ScratchFolder folder(L"replaceable install");
  const std::wstring exe = folder / L"TW6Maint.exe";
  ASSERT_TRUE(testenv::CopyTo(testenv::BuiltMaint(), exe));
  const std::wstring driver = folder / testenv::ThisFamily().driverFile;
  const std::wstring logger = folder / L"TW6Log.exe";
  testenv::WriteFileText(driver, "driver");
  testenv::WriteFileText(logger, "logger");
  const Writable writable = GetParam();
  ASSERT_TRUE(testenv::GrantEveryoneFullControl(writable == Writable::ProgramFolder ? folder.path()
                                                : writable == Writable::DriverFile  ? driver
                                                                                    : logger));
  const std::wstring earlier = std::wstring(testenv::kExeVerbKey) + L"\\command";
  ASSERT_TRUE(testenv::WriteText(HKEY_CLASSES_ROOT, earlier, L"", L"earlier", NativeView()));

  const testenv::MaintRun run = testenv::RunMaint(exe, L"-INSTALL");
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.debugLines.size(), 3u);
  EXPECT_EQ(run.debugLines[0], CreateLine(driver));
  if (writable == Writable::Logger) {
    EXPECT_EQ(run.debugLines[1], "(TW Driver_Install) -> errorcode=0");
    EXPECT_TRUE(testenv::ServiceExists(L"TW5IFS"));
    ExpectServiceValues();
  } else {
    EXPECT_EQ(run.debugLines[1], "(TW Driver_Install) -> errorcode=5");
    EXPECT_EQ(run.debugLines[2], "(TW Driver_Start) -> errorcode=5");
    EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_LOCAL_MACHINE, testenv::kDriverServiceKey, NativeView()));
  }
  if (writable == Writable::DriverFile) {
    ExpectVerbs(folder.path());
  } else {
    EXPECT_EQ(testenv::ReadValue(HKEY_CLASSES_ROOT, earlier, L"", NativeView()).bytes,
              TextBytes(L"earlier"));
    EXPECT_FALSE(
        testenv::ReadValue(HKEY_CLASSES_ROOT, testenv::kExeVerbKey, L"", NativeView()).found);
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, testenv::kMsiVerbKey, NativeView()));
  }
}

INSTANTIATE_TEST_SUITE_P(Writable, ReplaceableInstallTest,
                         ::testing::Values(Writable::ProgramFolder, Writable::DriverFile,
                                           Writable::Logger),
                         [](const auto& info) { return std::string(Name(info.param)); });

// On a machine without the product every step fails, says so in its line, and the run ends
// normally without touching anything else.
TEST_F(InstallTest, UninstallWithoutTheProductReportsTheFailedStepsOnly) {
  testenv::DeleteTestService(L"KorvaS");
  testenv::ScratchFolder folder(L"uninstall none");
  testenv::ChildProcess other = testenv::StartSleeperAs(folder / L"TW6Other.exe");
  ASSERT_TRUE(other.started());
  const testenv::MaintRun run = testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL");
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.debugLines.size(), 3u);
  EXPECT_TRUE(StartsWith(run.debugLines[0], "(TW Driver_Stop) -> errorcode="));
  EXPECT_NE(run.debugLines[0], "(TW Driver_Stop) -> errorcode=0");
  EXPECT_EQ(run.debugLines[1], "(TW Driver_Uninstall) -> sc.exe delete TW5IFS");
  EXPECT_TRUE(StartsWith(run.debugLines[2], "(TW Driver_Uninstall) -> errorcode="));
  EXPECT_NE(run.debugLines[2], "(TW Driver_Uninstall) -> errorcode=0");
  EXPECT_FALSE(testenv::ServiceExists(L"KorvaS"));
  EXPECT_TRUE(other.running());
  EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, L"exefile\\shell", NativeView()));
}

}  // namespace
