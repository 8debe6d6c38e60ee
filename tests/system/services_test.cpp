// Service control against the real service control manager, with the scripted test service.
#include "system/Services.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/scoped_seams.h"
#include "support/services.h"
#include "support/test_env.h"
#include "win/entry_points.h"

namespace {

class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    name_ = L"TW6TestSvc" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter);
    testenv::DeleteTestService(name_);
  }
  void TearDown() override {
    testenv::DeleteTestService(name_);
    EXPECT_FALSE(testenv::ServiceExists(name_));
  }

  void Register(const std::wstring& arguments) {
    ASSERT_TRUE(testenv::CreateTestService(
        name_, testenv::Quoted(testenv::BuiltProgram(L"tw6-test-service.exe")) + L" " + arguments +
                   L" log=" + log_));
  }
  void RegisterAndStart(const std::wstring& arguments) {
    Register(arguments);
    ASSERT_TRUE(testenv::StartTestService(name_));
  }

  // The tick at which the service last reported SERVICE_STOPPED, 0 when it did not.
  DWORD StoppedTick() const {
    std::istringstream lines(testenv::ReadFileText(log_));
    DWORD tick = 0, found = 0;
    std::string what;
    DWORD state = 0, checkPoint = 0;
    while (lines >> tick >> what) {
      if (what == "state" && lines >> state >> checkPoint && state == SERVICE_STOPPED) {
        found = tick;
      } else if (what == "control") {
        lines >> state;
      }
    }
    return found;
  }

  std::wstring name_;
  testenv::ScratchFolder folder_{L"services"};
  std::wstring log_ = folder_ / L"service.log";
};

TEST_F(ServicesTest, MissingServiceGivesZeroAndFalse) {
  EXPECT_EQ(Services::QueryServiceState(L"", name_), 0u);
  EXPECT_FALSE(Services::IsServiceRunning(L"", name_));
  EXPECT_FALSE(Services::RequestServiceStop(L"", name_));
  EXPECT_FALSE(Services::StopServiceAndWait(L"", name_));
  EXPECT_FALSE(Services::RemoveService(L"", name_));
}

TEST_F(ServicesTest, OnlyTheRunningStateCountsAsRunning) {
  Register(L"mode=pending-forever hint=1000");
  EXPECT_EQ(Services::QueryServiceState(L"", name_), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(Services::IsServiceRunning(L"", name_));
  EXPECT_FALSE(Services::RequestServiceStop(L"", name_)) << "a stopped service cannot be stopped";

  ASSERT_TRUE(testenv::StartTestService(name_));
  EXPECT_EQ(Services::QueryServiceState(L"", name_), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(Services::IsServiceRunning(L"", name_));

  EXPECT_TRUE(Services::RequestServiceStop(L"", name_));
  EXPECT_EQ(Services::QueryServiceState(L"", name_), static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_FALSE(Services::IsServiceRunning(L"", name_));
}

TEST_F(ServicesTest, RequestServiceStopDoesNotWait) {
  RegisterAndStart(L"mode=pending-rising hint=100 steps=4 stepMs=500");
  EXPECT_TRUE(Services::RequestServiceStop(L"", name_));
  // The service needs two seconds to stop; the request came back before it did.
  EXPECT_EQ(StoppedTick(), 0u);
  EXPECT_EQ(Services::QueryServiceState(L"", name_), static_cast<DWORD>(SERVICE_STOP_PENDING));
}

TEST_F(ServicesTest, RefusedStopRequestLeavesTheServiceRunning) {
  RegisterAndStart(L"mode=no-stop");
  EXPECT_FALSE(Services::RequestServiceStop(L"", name_));
  EXPECT_TRUE(Services::IsServiceRunning(L"", name_));
}

TEST_F(ServicesTest, RemoveServiceMarksARunningServiceThatGoesWhenItStops) {
  RegisterAndStart(L"mode=stop");
  EXPECT_TRUE(Services::RemoveService(L"", name_));
  EXPECT_TRUE(Services::IsServiceRunning(L"", name_));
  EXPECT_TRUE(Services::RemoveService(L"", name_)) << "already marked: still true";
  EXPECT_TRUE(Services::RequestServiceStop(L"", name_));
  EXPECT_TRUE(testenv::WaitUntilServiceGone(name_));
}

TEST_F(ServicesTest, RemoveServiceDeletesAStoppedService) {
  Register(L"mode=stop");
  EXPECT_TRUE(Services::RemoveService(L"", name_));
  EXPECT_TRUE(testenv::WaitUntilServiceGone(name_));
}

struct StopCase {
  const char* label;
  const wchar_t* arguments;
  DWORD limitMs;  // 0: StopServiceAndWait with its own bound
  bool stopped;
  DWORD stateAfter;  // 0: not checked
  DWORD minElapsedMs;
  DWORD maxAfterStoppedMs;  // 0: not checked; else the return follows the STOPPED report
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

class StopServiceAndWaitTest : public ServicesTest,
                               public ::testing::WithParamInterface<StopCase> {};

struct StopResult {
  bool stopped;
  DWORD end;
};

TEST_P(StopServiceAndWaitTest, WaitsAsTheServiceReports) {
  const StopCase& c = GetParam();
  RegisterAndStart(c.arguments);
  const DWORD start = ::GetTickCount();
  // On a thread of its own, so that a wait that outlives its bound fails the test instead of
  // holding it: every bound here is far below the minute given.
  auto result = std::make_shared<std::promise<StopResult>>();
  std::future<StopResult> answer = result->get_future();
  std::thread([result, c, name = name_] {
    const bool stopped = c.limitMs ? Services::StopServiceAndWaitWithin(L"", name, c.limitMs)
                                   : Services::StopServiceAndWait(L"", name);
    result->set_value(StopResult{stopped, ::GetTickCount()});
  }).detach();
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(60)), std::future_status::ready)
      << "the wait outlived its bound";
  const auto [stopped, end] = answer.get();
  EXPECT_EQ(stopped, c.stopped);
  if (c.stateAfter) {
    EXPECT_EQ(testenv::ServiceState(name_), c.stateAfter);
  }
  EXPECT_GE(end - start, c.minElapsedMs);
  if (c.maxAfterStoppedMs) {
    const DWORD stoppedAt = StoppedTick();
    ASSERT_NE(stoppedAt, 0u);
    EXPECT_LT(end - stoppedAt, c.maxAfterStoppedMs);
  }
  // A service that does not accept the control may not even see it.
  if (c.stateAfter != SERVICE_RUNNING) {
    EXPECT_EQ(testenv::StopControlsLogged(log_), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, StopServiceAndWaitTest,
    ::testing::Values(
        StopCase{"AtOnce", L"mode=stop", 0, true, SERVICE_STOPPED, 0, 0},
        // Pending for 1 s with a 2 s hint: done only after one full hint was slept.
        StopCase{"RisingCheckpoints", L"mode=pending-rising hint=2000 steps=4 stepMs=250", 0, true,
                 SERVICE_STOPPED, 1950, 0},
        // Checkpoint 8, then 1 after 250 ms, back to 8 after 2 s and stopped: the first query
        // sees the drop and ends the wait although the service would have stopped.
        StopCase{"DroppingCheckpoint", L"mode=pending-drop hint=500 steps=8 stepMs=250", 0, false,
                 0, 450, 0},
        // No sleep is longer than what is left of the bound, however long the hint: one of
        // 23 days would outlive the test.
        StopCase{"NeverStopsEndsAtTheBound", L"mode=pending-forever hint=2000000000", 1500, false,
                 SERVICE_STOP_PENDING, 1450, 0},
        StopCase{"NeverStopsWithZeroHint", L"mode=pending-forever hint=0", 1000, false,
                 SERVICE_STOP_PENDING, 950, 0},
        // Stopped 1.04 s after the control: with the shortest pause the wait ends soon after,
        // where a waiter that paused a second between queries would be some 960 ms late.
        StopCase{"ZeroHintQueriesBackToBack", L"mode=pending-rising hint=0 steps=4 stepMs=260", 0,
                 true, SERVICE_STOPPED, 1000, 700},
        StopCase{"RefusesStop", L"mode=no-stop", 0, false, SERVICE_RUNNING, 0, 0}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.label); });

int statusQueries = 0;
BOOL WINAPI CountingQuery(SC_HANDLE service, LPSERVICE_STATUS status) {
  ++statusQueries;
  return ::QueryServiceStatus(service, status);
}

// A zero hint must not turn the wait into a busy loop on the service manager: each pause lasts
// at least the shortest poll, so a bound of 1 s allows some ten queries (a few more for the
// last pause, cut to what is left), where back-to-back queries would make thousands.
TEST_F(ServicesTest, AZeroHintStillPausesBetweenQueries) {
  RegisterAndStart(L"mode=pending-forever hint=0");
  statusQueries = 0;
  ScopedSeams<Services::StopWaitSeams> seams(Services::TestStopWaitSeams());
  seams->queryStatus = CountingQuery;
  EXPECT_FALSE(Services::StopServiceAndWaitWithin(L"", name_, 1000));
  EXPECT_GE(statusQueries, 2);
  EXPECT_LE(statusQueries, 1000 / static_cast<int>(Services::kStopPollMinMs) + 5);
}

}  // namespace
