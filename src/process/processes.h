#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process/list.h"
#include "process/process.h"

namespace process {

// The processes whose executable matches a name, in the order of the process table.
class TIProcesses : public TIList, public virtual IProcesses {
 public:
  // An empty exeFile, "*" or "*.*" takes every process. With items the list holds just those
  // and cannot be refreshed; without, it is filled from the process table at once.
  TIProcesses(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr,
              const std::string& exeFile, const std::vector<Ptr<IProcess>>& items = {});

  Ptr<IProcess> GetItem(int32_t index) override;
  void RefreshItems() override;
  bool Terminate(uint32_t exitCode) override;

 protected:
  ~TIProcesses() override = default;
  void* Provides(REFIID iid) override;

 private:
  void MatchAndAdd(uint32_t id, uint32_t parentId, uint32_t session, uint64_t createTime,
                   const std::string& name);

  bool FAll = false;
  std::string FExeFile;
  bool FList = false;
};

}  // namespace process
