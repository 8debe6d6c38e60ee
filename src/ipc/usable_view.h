#pragma once

#include <cstddef>

// Named maps may have been made first by another process, as it chose. A map made with
// SEC_RESERVE maps without error, yet the first touch of its view is an access violation that
// no C++ handler catches: every view of a named map is checked before it is touched.
namespace ipc {

// True when the first length bytes at view are committed and readable (and writable when
// writing is true), with no guard or no-access page among them.
bool ViewIsUsable(const void* view, size_t length, bool writing);

}  // namespace ipc
