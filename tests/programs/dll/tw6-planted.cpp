// A DLL under a name no system has, which the DLL search tests plant where another user could.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
