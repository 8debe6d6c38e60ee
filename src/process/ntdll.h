#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "win/nt_status.h"

// Information classes and record reading of the process model's native calls, which sit in
// win::Entries().
namespace process::ntdll {

using namespace win::nt;  // the status codes

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kSystemExtendedHandleInformation = 64;  // XP and later

// A 32-bit field of a record the system wrote, read without alignment assumptions.
inline uint32_t Read32(const void* record, size_t offset) {
  uint32_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof(value));
  return value;
}

inline uint16_t Read16(const void* record, size_t offset) {
  uint16_t value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof(value));
  return value;
}

// A zero-filled buffer of a size the system asks for. A size that cannot be had leaves it
// empty: a failed query, not an exception.
class TableBuffer {
 public:
  bool Allocate(size_t size) {
    bytes_.reset();  // the old one goes first: it may be most of the address space
    size_ = 0;
    bytes_.reset(new (std::nothrow) unsigned char[size]());
    if (bytes_) size_ = size;
    return bytes_ != nullptr;
  }
  unsigned char* data() const { return bytes_.get(); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  size_t size_ = 0;
};

}  // namespace process::ntdll
