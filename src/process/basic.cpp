#include "process/basic.h"

#include <algorithm>

#include "process/error_text.h"

namespace process {

TIBasic::TIBasic(bool valid, uint32_t lastErrorNo, const std::string& lastErrorStr)
    : FValid(valid), FSuccess(valid) {
  if (!valid) {
    FLastErrorNo = lastErrorNo;
    FLastErrorStr = lastErrorStr;
  }
}

void* TIBasic::Provides(REFIID iid) {
  if (iid == __uuidof(IUnknown)) return static_cast<IUnknown*>(this);
  if (iid == IBasic::kIid) return static_cast<IBasic*>(this);
  return nullptr;
}

HRESULT STDMETHODCALLTYPE TIBasic::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = Provides(iid);
  if (!*object) {
    SetLastError(static_cast<uint32_t>(E_NOINTERFACE), "");
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TIBasic::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&FRefCount));
}

ULONG STDMETHODCALLTYPE TIBasic::Release() {
  const LONG count = ::InterlockedDecrement(&FRefCount);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

bool TIBasic::TryAddRef() {
  for (LONG count = FRefCount; count > 0; count = FRefCount) {
    if (::InterlockedCompareExchange(&FRefCount, count + 1, count) == count) return true;
  }
  return false;
}

bool TIBasic::CheckValid() {
  if (FValid) {
    FSuccess = true;
    return true;
  }
  SetLastError(kErrorInvalidObject, "This object is invalid.");
  return false;
}

std::string TIBasic::GetLastErrorStr() {
  if (FLastErrorStr.empty() && FLastErrorNo != 0) FLastErrorStr = ErrorText(FLastErrorNo);
  return FLastErrorStr;
}

void TIBasic::SetLastError(uint32_t no, const std::string& str) {
  FLastErrorNo = no;
  FLastErrorStr = str;
  FSuccess = no == 0;
}

TBasicItemInfo* TIBasic::InfoFor(IList* parent) {
  for (const auto& info : FParentInfos) {
    if (info->Parent == parent) return info.get();
  }
  return nullptr;
}

int32_t TIBasic::GetIndex(IList* parent) {
  if (const TBasicItemInfo* info = InfoFor(parent)) return info->Index;
  SetLastError(ERROR_FILE_NOT_FOUND, "");
  return -1;
}

TBasicItemInfo* TIBasic::AddParent(IList* parent) {
  FParentInfos.push_back(std::make_unique<TBasicItemInfo>());
  FParentInfos.back()->Parent = parent;
  return FParentInfos.back().get();
}

void TIBasic::DelParent(IList* parent) {
  FParentInfos.erase(std::remove_if(FParentInfos.begin(), FParentInfos.end(),
                                    [parent](const auto& info) { return info->Parent == parent; }),
                     FParentInfos.end());
}

}  // namespace process
