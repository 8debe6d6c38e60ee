#include "support/driver_service.h"

#include "support/registry.h"
#include "support/services.h"

namespace testenv {

void RemoveDriverService() {
  DeleteTestService(L"TW5IFS");
  DeleteTree(HKEY_LOCAL_MACHINE, kDriverServiceKey, NativeView());
}

}  // namespace testenv
