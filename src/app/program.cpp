#include "app/program.h"

#include "app/commands.h"
#include "app/dll_search.h"
#include "app/guarded_run.h"
#include "app/startup.h"

namespace app {

int RunProgram(std::wstring_view commandLine) {
  NarrowDllSearch();
  QuietSystemErrorBoxes();
  ReportUnhandledFaults();
  return RunGuarded([commandLine] {
    StartUp();
    Dispatch(commandLine);
  });
}

}  // namespace app
