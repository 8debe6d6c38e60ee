// The smallest GUI program built like TW6Maint.exe: the yardstick for its start-to-exit time.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
