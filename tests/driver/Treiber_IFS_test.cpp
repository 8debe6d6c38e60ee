// The driver operations in-process, where sc.exe cannot run or the service key is left over.
#include "driver/Treiber_IFS.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/apptools2.h"
#include "app/startup.h"
#include "support/debug_monitor.h"
#include "support/driver_service.h"
#include "support/registry.h"
#include "support/test_env.h"

namespace {

using Lines = std::vector<std::string>;

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::StartUp();
    testenv::RemoveDriverService();
  }
  void TearDown() override {
    testenv::RemoveDriverService();
    app::StartUp();
  }
  Lines OwnLines() { return monitor_.StopAndTake(::GetCurrentProcessId()); }
  testenv::DebugMonitor monitor_;
};

TEST_F(DriverTest, CommandsThatCannotStartReportMinusOneAndInstallStillWritesTheKeys) {
  // A working folder that does not exist keeps sc.exe from starting.
  apptools2::ProgramFolder = L"C:\\tw6test\\no such folder";
  Treiber_IFS::Driver_Start();
  EXPECT_FALSE(Treiber_IFS::Driver_Stop());
  EXPECT_TRUE(Treiber_IFS::Driver_Uninstall());  // no service key, whatever sc.exe gave
  EXPECT_FALSE(Treiber_IFS::Driver_Install());
  const std::string file = testenv::IsWow64() ? "IFS64.sys" : "IFS32.sys";
  EXPECT_EQ(OwnLines(),
            (Lines{"(TW Driver_Start) -> errorcode=-1", "(TW Driver_Stop) -> errorcode=-1",
                   "(TW Driver_Uninstall) -> sc.exe delete TW5IFS",
                   "(TW Driver_Uninstall) -> errorcode=-1",
                   "(TW Driver_Install) -> sc.exe create TW5IFS type= filesys start= auto "
                   "binPath= \"C:\\tw6test\\no such folder\\" +
                       file + "\" DisplayName= \"Dravelin Tidewell FileSystemChanges Driver\"",
                   "(TW Driver_Install) -> errorcode=-1"}));

  // The writers made the key from nothing: the five service values and the instance.
  const std::wstring key = testenv::kDriverServiceKey;
  const REGSAM view = testenv::NativeView();
  for (const wchar_t* name : {L"Type", L"Start", L"DependOnGroup", L"DependOnService", L"Group"}) {
    EXPECT_TRUE(testenv::ReadValue(HKEY_LOCAL_MACHINE, key, name, view).found) << name;
  }
  EXPECT_FALSE(testenv::ReadValue(HKEY_LOCAL_MACHINE, key, L"ImagePath", view).found);
  EXPECT_EQ(testenv::ReadValue(HKEY_LOCAL_MACHINE, key + L"\\Instances\\TW5Log Instance",
                               L"Altitude", view)
                .bytes,
            testenv::TextBytes(L"265001"));
}

TEST_F(DriverTest, UninstallFailsWhileTheServiceKeyRemains) {
  // A key without a service behind it: sc.exe delete cannot remove it.
  ASSERT_TRUE(
      testenv::CreateKey(HKEY_LOCAL_MACHINE, testenv::kDriverServiceKey, testenv::NativeView()));
  EXPECT_FALSE(Treiber_IFS::Driver_Uninstall());
  const Lines lines = OwnLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "(TW Driver_Uninstall) -> sc.exe delete TW5IFS");
  EXPECT_EQ(lines[1].rfind("(TW Driver_Uninstall) -> errorcode=", 0), 0u) << lines[1];
}

}  // namespace
