#include "app/guarded_run.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/program.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"

namespace {

std::wstring reported;
int reports = 0;
void Record(const std::wstring& text) {
  reported = text;
  ++reports;
}

TEST(GuardedRunTest, EscapedErrorIsReportedWithExitCodeOne) {
  reports = 0;
  EXPECT_EQ(app::RunGuarded([] { throw std::runtime_error("disk on fire"); }, Record), 1);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(reported, L"disk on fire");

  EXPECT_EQ(app::RunGuarded([] { throw 42; }, Record), 1);
  EXPECT_EQ(reports, 2);

  EXPECT_EQ(app::RunGuarded([] {}, Record), 0);
  EXPECT_EQ(reports, 2);
}

// The run sets the error mode before anything else and keeps the bits a parent gave it.
TEST(GuardedRunTest, TheRunSilencesTheSystemsErrorBoxesAndKeepsTheBitsItGot) {
  const UINT saved = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
  EXPECT_EQ(app::RunProgram(L"TW6Maint.exe -NOTHING"), 0);
  const UINT mode = ::SetErrorMode(saved);
  EXPECT_EQ(mode, static_cast<UINT>(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS |
                                    SEM_NOOPENFILEERRORBOX));
}

// The window station as the seam reports it, and the boxes asked for.
struct StationCase {
  const char* name;
  bool readable;
  DWORD flags;
  bool visible;
};
StationCase station;
std::vector<std::wstring> boxes;  // title: text

bool ReportedFlags(DWORD& flags) {
  flags = station.flags;
  return station.readable;
}

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR title, UINT) {
  boxes.push_back(std::wstring(title) + L": " + text);
  return IDOK;
}

class ErrorBoxTest : public ::testing::TestWithParam<StationCase> {
 protected:
  void SetUp() override {
    station = GetParam();
    boxes.clear();
    seams_->stationFlags = ReportedFlags;
    seams_->messageBox = RecordBox;
  }

  ScopedSeams<app::ErrorBoxSeams> seams_{app::TestErrorBoxSeams()};
};

// A box shows only where someone can answer it; a station that cannot be read may be a
// service's. Either way the run ends with exit code 1 at once.
TEST_P(ErrorBoxTest, AnEscapedErrorShowsABoxOnlyOnAVisibleStation) {
  EXPECT_EQ(app::WindowStationIsVisible(), GetParam().visible);
  EXPECT_EQ(app::RunGuarded([] { throw std::runtime_error("disk on fire"); }), 1);
  EXPECT_EQ(boxes, GetParam().visible
                       ? std::vector<std::wstring>{L"Application Error: disk on fire"}
                       : std::vector<std::wstring>{});
}

INSTANTIATE_TEST_SUITE_P(
    Station, ErrorBoxTest,
    ::testing::Values(StationCase{"Visible", true, WSF_VISIBLE, true},
                      StationCase{"Invisible", true, 0, false},
                      StationCase{"OtherBitsOnly", true, ~DWORD{WSF_VISIBLE}, false},
                      StationCase{"Unreadable", false, WSF_VISIBLE, false}),
    [](const ::testing::TestParamInfo<StationCase>& info) { return std::string(info.param.name); });

// Wine's own station, like an interactive desktop's, is visible; where these tests run natively
// as a service, theirs is not.
TEST(ErrorBoxSystemTest, TheInteractiveStationIsVisible) {
  if (!testenv::IsWine()) GTEST_SKIP() << "the station depends on how the tests were started";
  EXPECT_TRUE(app::WindowStationIsVisible());
}

}  // namespace
