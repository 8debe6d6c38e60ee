#include <windows.h>

#include "app/commands.h"
#include "app/guarded_run.h"
#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return app::RunGuarded([] {
    app::StartUp();
    app::Dispatch(::GetCommandLineW());
  });
}
