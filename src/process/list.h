#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process/basic.h"

namespace process {

// A list of objects, each held by one reference, in the order of addition. Every object
// records its position in each list that holds it.
class TIList : public TIBasic, public virtual IList {
 public:
  TIList(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr);

  int32_t GetItemCount() override { return FCount; }
  int32_t GetCapacity() override { return FCapacity; }
  void SetCapacity(int32_t capacity) override;
  bool DeleteItem(int32_t index) override;
  int32_t AddItem(const Ptr<IBasic>& item) override;
  // Marks every item deleted; EndRefresh drops the items that nothing marked again since.
  void BeginRefresh() override;
  void EndRefresh() override;

 protected:
  ~TIList() override;
  void* Provides(REFIID iid) override;
  IList* Self() { return static_cast<IList*>(this); }

  int32_t FCount = 0;
  int32_t FCapacity = 0;
  CriticalSection FSection;
  std::vector<Ptr<IBasic>> FItems;          // FCapacity long, the first FCount used
  std::vector<TBasicItemInfo*> FItemInfos;  // each item's record for this list
};

}  // namespace process
