#include "process/kernel_objects.h"

#include <algorithm>
#include <vector>

#include "process/process.h"

namespace process {

namespace {

// The live kernel objects by (type, id). Holds plain pointers: the table owns no reference; an
// object leaves it when destroyed.
struct ObjectTable {
  CriticalSection section;
  std::vector<TIKernelObj*> objects;
};

// Never destroyed, so that an object released during process exit still finds it.
ObjectTable& TheObjectTable() {
  static ObjectTable* table = new ObjectTable;
  return *table;
}

}  // namespace

TIKernelObj::TIKernelObj(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr,
                         TKernelObjType type, uint32_t id)
    : TIBasic(valid, lastErrorNo, lastErrorStr) {
  if (valid) {
    FType = type;
    FIDReady = true;
    FID = id;
  }
}

TIKernelObj::~TIKernelObj() {
  if (!FRegistered) return;
  ObjectTable& table = TheObjectTable();
  SectionLock lock(table.section);
  auto& objects = table.objects;
  const auto found = std::find(objects.begin(), objects.end(), this);
  if (found != objects.end()) {
    *found = objects.back();
    objects.pop_back();
  }
}

void* TIKernelObj::Provides(REFIID iid) {
  if (iid == IKernelObj::kIid) return static_cast<IKernelObj*>(this);
  return TIBasic::Provides(iid);
}

Ptr<TIKernelObj> FindOrCreateKernelObj(TKernelObjType type, uint32_t id) {
  ObjectTable& table = TheObjectTable();
  SectionLock lock(table.section);
  for (TIKernelObj* object : table.objects) {
    // An object whose count already reached 0 is on its way out: it is not handed out again.
    if (object->FType == type && object->GetID() == id) {
      if (Ptr<TIKernelObj> found = TIBasic::TryReference(object)) return found;
    }
  }
  Ptr<TIKernelObj> created = type == otProcess
                                 ? Ptr<TIKernelObj>(Make<TIProcess>(true, 0, "", type, id))
                                 : Make<TIKernelObj>(true, 0, "", type, id);
  created.get()->FRegistered = true;
  table.objects.push_back(created.get());
  return created;
}

size_t KernelObjectCount() {
  ObjectTable& table = TheObjectTable();
  SectionLock lock(table.section);
  return table.objects.size();
}

}  // namespace process
