// -UNINSTALL against a real "KorvaS": the scripted test service registered under that name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"
#include "support/maint.h"
#include "support/services.h"
#include "support/test_env.h"

namespace {

class UninstallKorvaSTest : public ::testing::Test {
 protected:
  void SetUp() override { testenv::DeleteTestService(L"KorvaS"); }
  void TearDown() override { testenv::DeleteTestService(L"KorvaS"); }

  void StartKorvaS(const std::wstring& arguments) {
    ASSERT_TRUE(testenv::CreateTestService(
        L"KorvaS", testenv::Quoted(testenv::BuiltProgram(L"tw6-test-service.exe")) + L" " +
                       arguments + L" log=" + log_));
    ASSERT_TRUE(testenv::StartTestService(L"KorvaS"));
  }

  testenv::ScratchFolder folder_{L"korvas"};
  std::wstring log_ = folder_ / L"service.log";
};

struct StoppingCase {
  const char* label;
  const wchar_t* arguments;
  int stopControls;  // -1: not checked
};

void PrintTo(const StoppingCase& c, std::ostream* os) { *os << c.label; }

class UninstallStopsKorvaSTest : public UninstallKorvaSTest,
                                 public ::testing::WithParamInterface<StoppingCase> {};

TEST_P(UninstallStopsKorvaSTest, StopsItAndItIsGoneAfterwards) {
  StartKorvaS(GetParam().arguments);
  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL").exitCode, 0u);
  EXPECT_TRUE(testenv::WaitUntilServiceGone(L"KorvaS"));
  if (GetParam().stopControls >= 0) {
    EXPECT_EQ(testenv::StopControlsLogged(log_), GetParam().stopControls);
    EXPECT_NE(testenv::ReadFileText(log_).find(" state 1 0\r"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, UninstallStopsKorvaSTest,
    ::testing::Values(
        StoppingCase{"StopsAtOnce", L"", 1},
        // Accepted and pending: not running, so no second stop; marked, it goes once stopped.
        StoppingCase{"StopsSlowly", L"mode=pending-rising hint=500 steps=4 stepMs=250", 1},
        // Accepted but still running: the stop-and-wait step ends it. Windows hands the service
        // the second stop control; Wine's manager ends the process instead.
        StoppingCase{"IgnoresTheRequest", L"mode=ignore-first", -1}),
    [](const ::testing::TestParamInfo<StoppingCase>& info) {
      return std::string(info.param.label);
    });

TEST_F(UninstallKorvaSTest, RefusingServiceIsPolledThenMarkedForDeletion) {
  StartKorvaS(L"mode=no-stop");
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(testenv::RunMaint(testenv::BuiltMaint(), L"-UNINSTALL").exitCode, 0u);
  // Twenty polls of 250 ms and the pause after the stop-and-wait step.
  EXPECT_GE(::GetTickCount() - start, 5200u);
  EXPECT_EQ(testenv::ServiceState(L"KorvaS"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(testenv::IsMarkedForDeletion(L"KorvaS"));
}

}  // namespace
