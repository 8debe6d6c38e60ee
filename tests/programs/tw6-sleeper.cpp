// Sleeps until it is killed. Copied under the product's executable names by the tests.
#include <windows.h>

int wmain() {
  for (;;) ::Sleep(INFINITE);
}
