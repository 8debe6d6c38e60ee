#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "process/ptr.h"

// Reference-counted process objects and lists. Failures never throw: each object keeps its
// validity, whether its last operation succeeded, and the number and text of its last error.
// Interfaces extend one another virtually, so that a class can implement an interface and
// inherit the implementation of its base interface from its parent class.
namespace process {

class TIBasic;
struct IList;
struct IHandle;
struct IProcess;

// Error numbers of the model; the others are system error numbers or status codes.
constexpr uint32_t kErrorInvalidObject = 0x10001;  // "This object is invalid."
constexpr uint32_t kErrorInvalidIndex = 0x10002;   // "Invalid index."
constexpr uint32_t kErrorIndexOutOfRange = 0x10006;
constexpr uint32_t kErrorCannotRefresh = 0x30000;

struct IBasic : IUnknown {
  static constexpr GUID kIid = {
      0x1a4a3104, 0x6b4f, 0x4c97, {0xbf, 0x9f, 0x79, 0x6b, 0xc6, 0x64, 0xd1, 0xb0}};

 private:
  // Only Ptr counts references.
  template <class T>
  friend class Ptr;
  ULONG STDMETHODCALLTYPE AddRef() override = 0;
  ULONG STDMETHODCALLTYPE Release() override = 0;

 public:
  virtual TIBasic* SelfAsTObject() = 0;
  virtual bool IsValid() = 0;
  virtual bool Success() = 0;
  virtual uint32_t GetLastErrorNo() = 0;
  // The stored text; for a number without text, the system's message, made on first request.
  virtual std::string GetLastErrorStr() = 0;
  virtual void SetLastError(uint32_t no, const std::string& str) = 0;
  // Position in that list, or -1 with error 2 when the list does not hold the object.
  virtual int32_t GetIndex(IList* parent) = 0;
};

struct IKernelObj : virtual IBasic {
  static constexpr GUID kIid = {
      0xb9f5b52d, 0xa09d, 0x4a22, {0xb9, 0x95, 0x32, 0x9e, 0x03, 0xbb, 0x9a, 0xf2}};
  virtual uint32_t GetID() = 0;
  virtual Ptr<IHandle> GetHandle() = 0;  // the cached open handle, or null
};

struct IProcess : virtual IKernelObj {
  static constexpr GUID kIid = {
      0xa8b5265f, 0x87ae, 0x4a72, {0x8f, 0x03, 0xdb, 0x87, 0x84, 0xe7, 0xcd, 0xb7}};
  // The executable as the process table showed it: a full path, a bare file name, or
  // "[System Process]".
  virtual std::string GetExeFile() = 0;
  // Ends the process at once with exitCode; true when the system accepted it.
  virtual bool Terminate(uint32_t exitCode) = 0;
};

struct IHandle : virtual IBasic {
  static constexpr GUID kIid = {
      0x6a9a76de, 0xa390, 0x4544, {0x99, 0x67, 0xe0, 0x21, 0xce, 0xbc, 0x3d, 0xf7}};
  virtual Ptr<IProcess> GetOwnerProcess() = 0;
  virtual HANDLE GetHandle() = 0;
  virtual uint32_t GetAccess() = 0;
};

struct IList : virtual IBasic {
  static constexpr GUID kIid = {
      0x8663c003, 0xad1c, 0x43c8, {0x8d, 0x13, 0xcf, 0x38, 0xc2, 0x88, 0x25, 0xfa}};
  virtual int32_t GetItemCount() = 0;
  virtual int32_t GetCapacity() = 0;
  virtual void SetCapacity(int32_t capacity) = 0;
  virtual bool DeleteItem(int32_t index) = 0;
  // The item's index; an item already held keeps its index. -1 on failure.
  virtual int32_t AddItem(const Ptr<IBasic>& item) = 0;
  virtual void BeginRefresh() = 0;
  virtual void EndRefresh() = 0;
};

struct IProcesses : virtual IList {
  static constexpr GUID kIid = {
      0x211c961e, 0x1aee, 0x421c, {0x98, 0xc8, 0xd2, 0xad, 0x4e, 0xba, 0x07, 0x28}};
  // For an index out of range, a new invalid process object with error 65542.
  virtual Ptr<IProcess> GetItem(int32_t index) = 0;
  virtual void RefreshItems() = 0;
  // Terminates every item; true when at least one was ended.
  virtual bool Terminate(uint32_t exitCode) = 0;
};

}  // namespace process
