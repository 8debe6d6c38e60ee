#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "process/interfaces.h"
#include "win/critical_section.h"

namespace process {

enum TChangeType : uint8_t { lctUnchanged = 0, lctChanged = 1, lctNew = 2, lctDeleted = 3 };

// One object's membership in one list; the object owns it.
struct TBasicItemInfo {
  IList* Parent = nullptr;
  int32_t Index = -1;
  int32_t OldIndex = -1;
  TChangeType LastChangeType = lctNew;
};

using win::CriticalSection;
using win::SectionLock;

// Root of every object: reference count, validity and the last error.
class TIBasic : public virtual IBasic {
 public:
  TIBasic(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr);
  TIBasic(const TIBasic&) = delete;
  TIBasic& operator=(const TIBasic&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

  TIBasic* SelfAsTObject() override { return this; }
  bool IsValid() override { return FValid; }
  bool Success() override { return FSuccess; }
  uint32_t GetLastErrorNo() override { return FLastErrorNo; }
  std::string GetLastErrorStr() override;
  void SetLastError(uint32_t no, const std::string& str) override;
  int32_t GetIndex(IList* parent) override;

  // A new reference to object, or null when its count has reached 0 already (it is being
  // destroyed and must not be handed out again).
  template <class C>
  static Ptr<C> TryReference(C* object) {
    return object->TryAddRef() ? Ptr<C>(object, typename Ptr<C>::Adopt{}) : Ptr<C>();
  }

  TBasicItemInfo* AddParent(IList* parent);
  void DelParent(IList* parent);
  TBasicItemInfo* InfoFor(IList* parent);

 private:
  template <class T>
  friend class Ptr;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  bool TryAddRef();

 protected:
  // Only Release destroys an object: no object lives on the stack or is deleted by hand.
  virtual ~TIBasic() = default;

  // True for a valid object; otherwise records error 65537 and answers false.
  bool CheckValid();
  // This object as the interface that iid names (the exact interface pointer, which differs
  // from the IUnknown pointer under virtual inheritance), or null.
  virtual void* Provides(REFIID iid);

  volatile LONG FRefCount = 0;
  bool FValid;
  bool FSuccess;
  uint32_t FLastErrorNo = 0;
  std::string FLastErrorStr;
  std::vector<std::unique_ptr<TBasicItemInfo>> FParentInfos;
};

}  // namespace process
