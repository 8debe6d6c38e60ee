#pragma once

#include <windows.h>

namespace win {

// One owner for every kind of Win32 handle; Traits says what "empty" is and how to close.
template <class Traits>
class UniqueHandle {
 public:
  using pointer = typename Traits::pointer;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(pointer value) noexcept : value_(value) {}
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Empty(); }

  pointer release() noexcept {
    pointer value = value_;
    value_ = Traits::Empty();
    return value;
  }

  // Callers read GetLastError() after a failed step; closing must not disturb it.
  void reset(pointer value = Traits::Empty()) noexcept {
    if (value_ != Traits::Empty() && value_ != value) {
      const DWORD saved = ::GetLastError();
      Traits::Close(value_);
      ::SetLastError(saved);
    }
    value_ = value;
  }

  // For out-parameters: closes what is held, then hands out the slot.
  pointer* put() noexcept {
    reset();
    return &value_;
  }

 private:
  pointer value_ = Traits::Empty();
};

struct KernelHandleTraits {
  using pointer = HANDLE;
  static pointer Empty() { return nullptr; }
  static void Close(pointer h) { ::CloseHandle(h); }
};

// Files, snapshots: the API's "no handle" is INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  using pointer = HANDLE;
  static pointer Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(pointer h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using pointer = HANDLE;
  static pointer Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(pointer h) { ::FindClose(h); }
};

struct RegKeyTraits {
  using pointer = HKEY;
  static pointer Empty() { return nullptr; }
  static void Close(pointer h) { ::RegCloseKey(h); }
};

struct ServiceHandleTraits {
  using pointer = SC_HANDLE;
  static pointer Empty() { return nullptr; }
  static void Close(pointer h) { ::CloseServiceHandle(h); }
};

struct MappedViewTraits {
  using pointer = void*;
  static pointer Empty() { return nullptr; }
  static void Close(pointer p) { ::UnmapViewOfFile(p); }
};

struct ModuleTraits {
  using pointer = HMODULE;
  static pointer Empty() { return nullptr; }
  static void Close(pointer h) { ::FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;

}  // namespace win
