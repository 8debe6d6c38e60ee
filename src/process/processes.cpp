#include "process/processes.h"

#include "process/lookup.h"
#include "process/name_match.h"
#include "process/process_table.h"

namespace process {

TIProcesses::TIProcesses(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr,
                         const std::string& exeFile, const std::vector<Ptr<IProcess>>& items)
    : TIList(valid, lastErrorNo, lastErrorStr) {
  if (valid) FAll = exeFile.empty() || exeFile == "*" || exeFile == "*.*";
  if (!FAll) {
    FExeFile = ExpandLongPath(exeFile);
    if (!items.empty()) {
      FList = true;
      for (const Ptr<IProcess>& item : items) {
        if (item) AddItem(item);
      }
    }
  }
  if (!FList) RefreshItems();
}

void* TIProcesses::Provides(REFIID iid) {
  if (iid == IProcesses::kIid) return static_cast<IProcesses*>(this);
  return TIList::Provides(iid);
}

Ptr<IProcess> TIProcesses::GetItem(int32_t index) {
  if (index < 0 || index >= FCount) {
    return Make<TIProcess>(false, kErrorIndexOutOfRange, "Index out of range.", otUnknown, 0);
  }
  return FItems[static_cast<size_t>(index)].As<IProcess>();
}

void TIProcesses::RefreshItems() {
  if (!CheckValid()) return;
  if (FList) {
    SetLastError(kErrorCannotRefresh, "Can't refresh this kind of list.");
    return;
  }
  BeginRefresh();
  // The marks must be settled even when an error escapes the walk.
  struct EndRefreshOnExit {
    TIProcesses* list;
    ~EndRefreshOnExit() { list->EndRefresh(); }
  } endRefresh{this};
  // A process's image path can match the filter only when its file name does.
  const std::string_view fileName = FileNamePart(FExeFile);
  const uint32_t status = EnumerateProcessTable(
      [this, fileName](std::string_view tableName) {
        return FAll || SameText1252(FileNamePart(tableName), fileName);
      },
      [this](const ProcessTableEntry& entry) {
        MatchAndAdd(entry.id, entry.parentId, entry.session, entry.createTime, entry.name);
      });
  if (status != 0) SetLastError(status, "");
}

void TIProcesses::MatchAndAdd(uint32_t id, uint32_t parentId, uint32_t session, uint64_t createTime,
                              const std::string& name) {
  if (!FAll && !NameMatches(FExeFile, name)) return;
  // A process that is its own parent would hold itself alive.
  const bool hasParent = parentId != 0 && parentId != id;

  for (int32_t i = 0; i < FCount; ++i) {
    const Ptr<IProcess> item = FItems[static_cast<size_t>(i)].As<IProcess>();
    if (!item || item->GetID() != id) continue;
    // TIProcess is the one class behind IProcess.
    auto* process = static_cast<TIProcess*>(item->SelfAsTObject());
    TBasicItemInfo* info = FItemInfos[static_cast<size_t>(i)];
    if ((process->FParentProcess || !hasParent) && process->FExeFile == name &&
        process->FSession == session && process->FCreateTime == createTime) {
      info->LastChangeType = lctUnchanged;
    } else {
      if (hasParent) process->FParentProcess = FindOrCreateProcess(parentId);
      process->FExeFile = name;
      process->FSession = session;
      process->FCreateTime = createTime;
      info->LastChangeType = lctChanged;
    }
    return;
  }

  const Ptr<TIProcess> process = FindOrCreateProcess(id);
  TIProcess* fields = process.get();
  if (hasParent) fields->FParentProcess = FindOrCreateProcess(parentId);
  fields->FExeFile = name;
  fields->FSession = session;
  fields->FSessionDone = true;
  fields->FCreateTime = createTime;
  AddItem(Ptr<IProcess>(process));
}

bool TIProcesses::Terminate(uint32_t exitCode) {
  if (!CheckValid()) return false;
  bool ended = false;
  for (int32_t i = 0; i < FCount; ++i) {
    if (GetItem(i)->Terminate(exitCode)) ended = true;
  }
  return ended;
}

}  // namespace process
