// The own sc commands against the real service control manager: the codes Windows' sc.exe
// exits with, and forms it does not carry out.
#include "system/sc_commands.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/Treiber_IFS.h"
#include "env/apptools2.h"
#include "support/services.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

struct Step {
  const wchar_t* command;  // "create" stands for the driver's create line; "hold" opens a handle
  int expected;
};

struct ScriptCase {
  const char* name;
  std::vector<Step> steps;
};

// The driver service of a program in a scratch folder; the lines are the program's own.
class ScCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder = apptools2::ProgramFolder;
    apptools2::ProgramFolder = folder.path();
    testenv::DeleteTestService(L"TW5IFS");
  }
  void TearDown() override {
    held.reset();
    testenv::DeleteTestService(L"TW5IFS");
    apptools2::ProgramFolder = savedFolder;
  }
  std::wstring Line(const std::wstring& step) const {
    return step == L"create"
               ? Treiber_IFS::CreateCommandLine(folder.path(), apptools2::Is64BitWindows)
               : step;
  }
  testenv::ScratchFolder folder{L"sc commands"};
  std::wstring savedFolder;
  win::UniqueServiceHandle manager{::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
  win::UniqueServiceHandle held;
};

class ScScriptTest : public ScCommandsTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScScriptTest, ExitsWithTheWin32ErrorOfTheFailingCall) {
  for (const Step& step : GetParam().steps) {
    const std::wstring command = Line(step.command);
    if (command == L"hold") {
      held.reset(::OpenServiceW(manager.get(), L"TW5IFS", SERVICE_QUERY_STATUS));
      ASSERT_TRUE(held);
      continue;
    }
    EXPECT_EQ(apptools2::RunScCommand(command), step.expected)
        << std::string(command.begin(), command.end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ScScriptTest,
    ::testing::Values(ScriptCase{"CreateTwice", {{L"create", 0}, {L"create", 1073}}},
                      ScriptCase{"StopOfAStoppedService",
                                 {{L"create", 0}, {L"sc.exe stop TW5IFS", 1062}}},
                      ScriptCase{"MissingService",
                                 {{L"sc.exe delete TW5IFS", 1060},
                                  {L"sc.exe stop TW5IFS", 1060},
                                  {L"sc.exe start TW5IFS", 1060},
                                  {L"sc delete KorvaS", 1060}}},
                      ScriptCase{"DeleteWhileOpenThenAgain",
                                 {{L"create", 0},
                                  {L"hold", 0},
                                  {L"sc.exe delete TW5IFS", 0},
                                  {L"sc.exe delete TW5IFS", 1072}}}),
    [](const ::testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

// Only the lines the program builds are carried out: another service, another binary, another
// form or spelling of the same line gives -1 and leaves nothing.
TEST_F(ScCommandsTest, EveryOtherLineIsMinusOneAndLeavesNothing) {
  const std::wstring create = Line(L"create");
  const std::wstring elsewhere =
      Treiber_IFS::CreateCommandLine(folder.path() + L"\\other", apptools2::Is64BitWindows);
  const std::wstring otherFile =
      Treiber_IFS::CreateCommandLine(folder.path(), !apptools2::Is64BitWindows);
  std::wstring ownType = create;
  ownType.replace(ownType.find(L"filesys"), 7, L"own");
  for (const std::wstring& command : std::vector<std::wstring>{
           elsewhere, otherFile, ownType, L"sc" + create.substr(6), create + L" extra",
           L"SC.EXE start TW5IFS", L"sc.exe START TW5IFS", L"sc.exe start  TW5IFS",
           L"sc.exe start TW5IFS ", L"sc.exe start KorvaS", L"sc delete TW6ScCmd",
           L"sc query TW5IFS", L"sc.exe stop TW5IFS extra", L"net start TW5IFS"}) {
    EXPECT_EQ(apptools2::RunScCommand(command), -1) << std::string(command.begin(), command.end());
  }
  EXPECT_FALSE(testenv::ServiceExists(L"TW5IFS"));
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
