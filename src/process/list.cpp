#include "process/list.h"

namespace process {

TIList::TIList(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr)
    : TIBasic(valid, lastErrorNo, lastErrorStr) {}

TIList::~TIList() {
  SectionLock lock(FSection);
  SetCapacity(0);
}

void* TIList::Provides(REFIID iid) {
  if (iid == IList::kIid) return static_cast<IList*>(this);
  return TIBasic::Provides(iid);
}

void TIList::SetCapacity(int32_t capacity) {
  SectionLock lock(FSection);
  if (capacity < 0) {
    SetLastError(ERROR_INVALID_PARAMETER, "");
    return;
  }
  if (capacity == FCapacity) return;
  while (FCount > capacity) DeleteItem(FCount - 1);
  FItems.resize(static_cast<size_t>(capacity));
  FItemInfos.resize(static_cast<size_t>(capacity), nullptr);
  FCapacity = capacity;
}

int32_t TIList::AddItem(const Ptr<IBasic>& item) {
  SectionLock lock(FSection);
  if (!CheckValid()) return -1;
  if (!item) {
    SetLastError(ERROR_INVALID_PARAMETER, "");
    return -1;
  }
  // An item already held keeps its place. For a new item the probe leaves error 2 in it.
  const int32_t present = item->GetIndex(Self());
  if (present != -1) return present;

  if (FCount == FCapacity) SetCapacity(FCapacity <= 7 ? 16 : FCapacity + FCapacity / 2);
  const int32_t index = FCount;
  FItems[static_cast<size_t>(index)] = item;
  TBasicItemInfo* info = item->SelfAsTObject()->AddParent(Self());
  info->Index = index;
  info->OldIndex = -1;
  info->LastChangeType = lctNew;
  FItemInfos[static_cast<size_t>(index)] = info;
  ++FCount;
  return index;
}

bool TIList::DeleteItem(int32_t index) {
  SectionLock lock(FSection);
  if (index < 0 || index >= FCount) {
    SetLastError(kErrorInvalidIndex, "Invalid index.");
    return false;
  }
  const size_t at = static_cast<size_t>(index);
  TBasicItemInfo* info = FItemInfos[at];
  info->LastChangeType = lctDeleted;
  info->OldIndex = info->Index;
  info->Index = -1;
  // Keeps the item alive until its record for this list is gone.
  const Ptr<IBasic> item = std::move(FItems[at]);
  for (size_t i = at + 1; i < static_cast<size_t>(FCount); ++i) {
    FItems[i - 1] = std::move(FItems[i]);
    FItemInfos[i - 1] = FItemInfos[i];
    FItemInfos[i - 1]->OldIndex = static_cast<int32_t>(i);
    FItemInfos[i - 1]->Index = static_cast<int32_t>(i - 1);
  }
  --FCount;
  FItems[static_cast<size_t>(FCount)].Reset();
  FItemInfos[static_cast<size_t>(FCount)] = nullptr;
  item->SelfAsTObject()->DelParent(Self());
  return true;
}

void TIList::BeginRefresh() {
  SectionLock lock(FSection);
  for (int32_t i = 0; i < FCount; ++i)
    FItemInfos[static_cast<size_t>(i)]->LastChangeType = lctDeleted;
}

void TIList::EndRefresh() {
  SectionLock lock(FSection);
  for (int32_t i = FCount - 1; i >= 0; --i) {
    const TBasicItemInfo* info = FItemInfos[static_cast<size_t>(i)];
    if (!info || info->LastChangeType == lctDeleted) DeleteItem(i);
  }
}

}  // namespace process
