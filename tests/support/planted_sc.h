#pragma once

#include <string>
#include <vector>

#include "support/test_env.h"

namespace testenv {

// Copies of the probe named sc.exe in the program folder and in a folder put first on PATH,
// where an elevated program must never take one from. Both come off at the end.
class PlantedScs {
 public:
  explicit PlantedScs(const ScratchFolder& programFolder);
  ~PlantedScs();
  PlantedScs(const PlantedScs&) = delete;
  PlantedScs& operator=(const PlantedScs&) = delete;

  bool planted() const { return planted_; }
  bool ran() const { return PathExists(log_); }  // each copy logs when it runs

 private:
  ScratchFolder onPath_{L"planted on path"};
  std::wstring log_;
  std::vector<wchar_t> savedPath_;
  bool planted_ = false;
};

}  // namespace testenv
