// The own sc commands against the real service control manager: the codes Windows' sc.exe
// exits with, and forms it does not carry out.
#include "system/sc_commands.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/services.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

struct Step {
  const wchar_t* command;  // "{S}" stands for the test's service; "hold" opens a handle to it
  int expected;
};

struct ScriptCase {
  const char* name;
  std::vector<Step> steps;
};

// A create names the scripted test service as its binary.
std::wstring WithService(std::wstring text, const std::wstring& service) {
  for (size_t at; (at = text.find(L"{S}")) != std::wstring::npos;) text.replace(at, 3, service);
  if (text.find(L"create") != std::wstring::npos) {
    text += L" binPath= \"" + testenv::BuiltProgram(L"tw6-test-service.exe") + L"\"";
  }
  return text;
}

class ScCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { testenv::DeleteTestService(service); }
  void TearDown() override {
    held.reset();
    testenv::DeleteTestService(service);
  }
  std::wstring service = L"TW6ScCmd" + std::to_wstring(::GetCurrentProcessId());
  std::wstring binary = testenv::BuiltProgram(L"tw6-test-service.exe");
  win::UniqueServiceHandle manager{::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
  win::UniqueServiceHandle held;
};

class ScScriptTest : public ScCommandsTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScScriptTest, ExitsWithTheWin32ErrorOfTheFailingCall) {
  for (const Step& step : GetParam().steps) {
    const std::wstring command = WithService(step.command, service);
    if (command == L"hold") {
      held.reset(::OpenServiceW(manager.get(), service.c_str(), SERVICE_QUERY_STATUS));
      ASSERT_TRUE(held);
      continue;
    }
    EXPECT_EQ(apptools2::RunScCommand(command), step.expected)
        << std::string(command.begin(), command.end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ScScriptTest,
    ::testing::Values(
        ScriptCase{"CreateTwice", {{L"sc create {S}", 0}, {L"sc.exe create {S}", 1073}}},
        ScriptCase{"StopOfAStoppedService", {{L"sc create {S}", 0}, {L"sc.exe stop {S}", 1062}}},
        ScriptCase{"StartTwice",
                   {{L"sc create {S}", 0}, {L"sc start {S}", 0}, {L"SC START {S}", 1056}}},
        ScriptCase{"MissingService",
                   {{L"sc delete {S}", 1060}, {L"sc.exe stop {S}", 1060}, {L"sc start {S}", 1060}}},
        ScriptCase{"DeleteWhileOpenThenAgain",
                   {{L"sc create {S}", 0},
                    {L"hold", 0},
                    {L"sc delete {S}", 0},
                    {L"sc delete {S}", 1072}}}),
    [](const ::testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

TEST_F(ScCommandsTest, FormsItDoesNotKnowAreMinusOneAndLeaveNothing) {
  const std::wstring path = L" binPath= \"" + binary + L"\"";
  for (const std::wstring& command : std::vector<std::wstring>{
           L"sc create " + service + path + L" type= bogus",
           L"sc create " + service + path + L" error= normal",
           L"sc create " + service + path + L" start=",
           L"sc create " + service + L" binPath=" + binary, L"sc create " + service,
           L"sc query " + service, L"sc " + service, L"sc stop " + service + L" extra",
           L"\\\\server create " + service + path, L"net create " + service + path}) {
    EXPECT_EQ(apptools2::RunScCommand(command), -1) << std::string(command.begin(), command.end());
  }
  EXPECT_FALSE(testenv::ServiceExists(service));
}

TEST(ScArgumentsTest, SplitsAsTheCRuntimeDoes) {
  using Args = std::vector<std::wstring>;
  EXPECT_EQ(apptools2::SplitArguments(
                L"sc.exe create X binPath= \"C:\\a b\\IFS32.sys\" DisplayName= \"D T\""),
            (Args{L"sc.exe", L"create", L"X", L"binPath=", L"C:\\a b\\IFS32.sys", L"DisplayName=",
                  L"D T"}));
  EXPECT_EQ(apptools2::SplitArguments(L" a\\\\\"b c\" d\\\"e \"\" \"f\"\"g\"\t"),
            (Args{L"a\\b c", L"d\"e", L"", L"f\"g"}));
}

}  // namespace
