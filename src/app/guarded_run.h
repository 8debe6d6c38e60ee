#pragma once

#include <functional>
#include <string>

namespace app {

using ErrorReporter = void (*)(const std::wstring& text);

// Shows text in a message box titled "Application Error".
void ShowApplicationError(const std::wstring& text);

// Runs body; an error that escapes it is reported and gives exit code 1, else 0.
int RunGuarded(const std::function<void()>& body, ErrorReporter report = ShowApplicationError);

}  // namespace app
