#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace app {

using ErrorReporter = void (*)(const std::wstring& text);

// Keeps the system from showing its own boxes for a missing disk, an unopenable file or a fault
// (bits already set stay): an unattended run would wait on them. Children inherit the mode.
void QuietSystemErrorBoxes();

// A hardware fault that no handler takes (the C++ handlers never see one) ends the run as an
// escaped error does: reported through ShowApplicationError, exit code 1.
void ReportUnhandledFaults();

// Whether the process's window station is visible, so that someone can answer a box. A query
// that fails counts as not visible: an invisible box would hold the run for good.
bool WindowStationIsVisible();

// Shows text in a message box titled "Application Error" when the window station is visible;
// otherwise shows nothing.
void ShowApplicationError(const std::wstring& text);

// Runs body; an error that escapes it is reported and gives exit code 1, else 0.
int RunGuarded(const std::function<void()>& body, ErrorReporter report = ShowApplicationError);

// Test seams: the window station's flags (USEROBJECTFLAGS.dwFlags; false when they cannot be
// read) and the box itself, which Wine without a display never shows.
bool SystemStationFlags(DWORD& flags);
int WINAPI SystemMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
struct ErrorBoxSeams {
  bool (*stationFlags)(DWORD& flags) = SystemStationFlags;
  int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT) = SystemMessageBox;
};
ErrorBoxSeams& TestErrorBoxSeams();

}  // namespace app
