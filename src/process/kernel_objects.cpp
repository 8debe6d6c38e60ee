#include "process/kernel_objects.h"

#include <algorithm>
#include <vector>

#include "process/process.h"

namespace process {

namespace {

// Holds plain pointers: the registry owns no reference; an object leaves it when destroyed.
struct Registry {
  CriticalSection section;
  std::vector<TIKernelObj*> objects;
};

// Never destroyed, so that an object released during process exit still finds it.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
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
  Registry& registry = TheRegistry();
  SectionLock lock(registry.section);
  auto& objects = registry.objects;
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
  Registry& registry = TheRegistry();
  SectionLock lock(registry.section);
  for (TIKernelObj* object : registry.objects) {
    // An object whose count already reached 0 is on its way out: it is not handed out again.
    if (object->FType == type && object->GetID() == id) {
      if (Ptr<TIKernelObj> found = TIBasic::TryReference(object)) return found;
    }
  }
  Ptr<TIKernelObj> created = type == otProcess
                                 ? Ptr<TIKernelObj>(Make<TIProcess>(true, 0, "", type, id))
                                 : Make<TIKernelObj>(true, 0, "", type, id);
  created.get()->FRegistered = true;
  registry.objects.push_back(created.get());
  return created;
}

Ptr<TIProcess> FindOrCreateProcess(uint32_t id) {
  Ptr<TIKernelObj> object = FindOrCreateKernelObj(otProcess, id);
  return Ptr<TIProcess>(static_cast<TIProcess*>(object.get()));
}

void* TIProcess::Provides(REFIID iid) {
  if (iid == IProcess::kIid) return static_cast<IProcess*>(this);
  return TIKernelObj::Provides(iid);
}

size_t KernelObjectCount() {
  Registry& registry = TheRegistry();
  SectionLock lock(registry.section);
  return registry.objects.size();
}

}  // namespace process
