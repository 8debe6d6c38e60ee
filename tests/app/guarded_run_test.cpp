#include "app/guarded_run.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

}  // namespace
