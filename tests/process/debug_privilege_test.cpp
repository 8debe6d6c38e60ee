#include "process/debug_privilege.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/privileges.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

// Enabled within the scope, and afterwards as it was before: an administrator's token has it
// disabled, a service's (SYSTEM) enabled.
class DebugPrivilegeScopeTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { before_ = testenv::DebugPrivilegeEnabled(); }
  void TearDown() override { testenv::SetDebugPrivilege(before_); }
  bool before_ = false;
};

DWORD WINAPI ReadOnAnotherThread(void* enabled) {
  *static_cast<bool*>(enabled) = testenv::DebugPrivilegeEnabled();
  return 0;
}

// Only the thread in the scope has it: another thread of the process, such as a hand-over worker
// that outlived its bound, keeps the process token's state.
TEST_P(DebugPrivilegeScopeTest, EnablesItForItsLifetimeAndLeavesTheFormerStateBehind) {
  ASSERT_TRUE(testenv::SetDebugPrivilege(GetParam()));
  ASSERT_EQ(testenv::DebugPrivilegeEnabled(), GetParam());
  {
    const process::DebugPrivilegeScope scope;
    EXPECT_TRUE(testenv::DebugPrivilegeEnabled());
    bool other = !GetParam();
    win::UniqueKernelHandle thread(
        ::CreateThread(nullptr, 0, ReadOnAnotherThread, &other, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(::WaitForSingleObject(thread.get(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(other, GetParam());
  }
  EXPECT_EQ(testenv::DebugPrivilegeEnabled(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Before, DebugPrivilegeScopeTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Enabled" : "Disabled";
                         });

// A token that lacks the privilege (a limited user's): the adjustment answers
// ERROR_NOT_ALL_ASSIGNED, nothing changes and there is nothing to restore. Removing the privilege
// cannot be undone, so a child process does it to its own token.
TEST(DebugPrivilegeScopeWithoutTest, ATokenWithoutThePrivilegeStaysAsItWas) {
  testenv::ScratchFolder folder(L"privilege");
  const std::wstring log = folder / L"log.txt";
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TW6_PRIVILEGE_LOG", log.c_str()));
  const DWORD exitCode = testenv::RunToEnd(
      testenv::Quoted(testenv::BuiltProgram(L"tw6-privilege-probe.exe")) + L" --without");
  ::SetEnvironmentVariableW(L"TW6_PRIVILEGE_LOG", nullptr);
  ASSERT_EQ(exitCode, 0u);
  EXPECT_EQ(testenv::ReadFileText(log), "inside=0 after=0\n");
}

}  // namespace
