#include "app/startup.h"

#include "env/apptools2.h"
#include "shell/nogui_GuardOptions.h"
#include "win/entry_points.h"

namespace app {

void StartUp() {
  win::LoadEntryPoints();
  apptools2::StartUp();
  nogui_GuardOptions::StartUp();
}

}  // namespace app
