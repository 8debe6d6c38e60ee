// Sleeps until it is killed. Copied under the product's executable names by the tests. Its
// event "tw6-sleeper-<pid>" tells that its start-up is over: a process still starting may have
// its parameters, and so its image path, replaced under a reader.
#include <windows.h>

#include <cwchar>

int wmain() {
  wchar_t name[64];
  std::swprintf(name, 64, L"tw6-sleeper-%lu", ::GetCurrentProcessId());
  ::CreateEventW(nullptr, TRUE, TRUE, name);
  for (;;) ::Sleep(INFINITE);
}
