// The report tools/run prints: tw6-sandbox.exe seeds the product, runs one command and says
// what changed, in this family's terms.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/family.h"
#include "support/sandbox.h"
#include "support/test_env.h"
#include "win/unique_handle.h"

namespace {

// Runs the sandbox with its standard output in a file and returns what it printed.
std::string RunSandbox(const std::wstring& arguments, DWORD* exitCode) {
  testenv::ScratchFolder folder(L"sandbox report");
  const std::wstring path = folder / L"report.txt";
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  win::UniqueFileHandle out(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::wstring command = L"\"" + testenv::BuiltProgram(L"tw6-sandbox.exe") + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.get();
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  if (!out || !::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &info)) {
    return "";
  }
  const win::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  *exitCode = ::WaitForSingleObject(process.get(), 120000) == WAIT_OBJECT_0 ? 0 : STILL_ACTIVE;
  if (*exitCode == 0) ::GetExitCodeProcess(process.get(), exitCode);
  out.reset();
  std::string text = testenv::ReadFileText(path);
  for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r'))
    text.erase(at, 1);
  return text;
}

class SandboxReportTest : public ::testing::Test {
 protected:
  // The sandbox leaves the product seeded, as tools/run shows it.
  void TearDown() override { sandbox::Clear(sandbox::DefaultLayout()); }
};

TEST_F(SandboxReportTest, NamesTheFamilyAndMarksWhatTheCommandChanged) {
  DWORD exitCode = 1;
  const std::string report = RunSandbox(L"--installed -REMOVEAUTORUN", &exitCode);
  EXPECT_EQ(exitCode, 0u) << report;  // 3 when seeding failed
  const testenv::Family& family = testenv::ThisFamily();
  const std::string driver(family.driverFile, family.driverFile + wcslen(family.driverFile));
  for (const std::string& line :
       {"platform family: " + family.name + " (", "driver file " + driver + ")\n",
        std::string(family.view ? "registry read in the 64-bit view"
                                : "registry read in the only view"),
        std::string(
            "  * HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run : Dravelin Tidewell "
            "6 Guard\n"),
        std::string("    service KorvaS: running"),
        std::string("Debugger output of TW6Maint.exe:\n    (none)\n"),
        std::string("\nExit code: 0\n")}) {
    EXPECT_NE(report.find(line), std::string::npos) << line << "\n--- in ---\n" << report;
  }
}

}  // namespace
