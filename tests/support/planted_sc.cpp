#include "support/planted_sc.h"

#include <windows.h>

namespace testenv {

PlantedScs::PlantedScs(const ScratchFolder& programFolder) : log_(programFolder / L"probe.log") {
  const std::wstring probe = BuiltProgram(L"tw6-probe.exe");
  planted_ = CopyTo(probe, programFolder / L"sc.exe") && CopyTo(probe, onPath_ / L"sc.exe");
  savedPath_.resize(32768);
  savedPath_.resize(::GetEnvironmentVariableW(L"PATH", savedPath_.data(), 32768));
  const std::wstring path =
      onPath_.path() + L";" + std::wstring(savedPath_.begin(), savedPath_.end());
  savedPath_.push_back(L'\0');
  ::SetEnvironmentVariableW(L"PATH", path.c_str());
  ::SetEnvironmentVariableW(L"TW6_PROBE_LOG", log_.c_str());
}

PlantedScs::~PlantedScs() {
  ::SetEnvironmentVariableW(L"TW6_PROBE_LOG", nullptr);
  ::SetEnvironmentVariableW(L"PATH", savedPath_.data());
}

}  // namespace testenv
