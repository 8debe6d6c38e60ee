#include "app/program.h"

#include "app/commands.h"
#include "app/guarded_run.h"
#include "app/startup.h"

namespace app {

int RunProgram(std::wstring_view commandLine) {
  QuietSystemErrorBoxes();
  return RunGuarded([commandLine] {
    StartUp();
    Dispatch(commandLine);
  });
}

}  // namespace app
