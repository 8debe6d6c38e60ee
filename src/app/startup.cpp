#include "app/startup.h"

#include "app/apptools2.h"
#include "ipc/deliver.h"
#include "win/entry_points.h"

namespace app {

void StartUp() {
  win::LoadEntryPoints();
  apptools2::StartUp();
  ipc::StartUp();
}

}  // namespace app
