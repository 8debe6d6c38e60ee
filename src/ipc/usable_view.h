#pragma once

#include <windows.h>

#include <cstddef>

// Named maps may have been made first by another process, as it chose. A map made with
// SEC_RESERVE maps without error, yet the first touch of its view is an access violation that
// no C++ handler catches: every view of a named map is checked before it is touched.
namespace ipc {

// True when the first length bytes at view are committed and readable (and writable when
// writing is true), with no guard or no-access page among them.
bool ViewIsUsable(const void* view, size_t length, bool writing);

// VirtualQuery calls a view of a file committed read/write, yet a file on removable media or on
// a share that its owner controls can fail the first touch with an in-page error, which no C++
// handler catches either. So a view of a named map is touched directly only when the system
// says the section is memory alone; where it cannot say, only through calls that fail instead.
enum class ViewTouch { Refused, Direct, ThroughCalls };
ViewTouch HowToTouch(HANDLE map);  // the handle needs SECTION_QUERY (FILE_MAP_ALL_ACCESS has it)

bool CopyAcross(ViewTouch touch, void* to, const void* from, size_t length, bool intoView);
inline bool CopyFromView(ViewTouch touch, const void* view, void* into, size_t length) {
  return CopyAcross(touch, into, view, length, false);
}
inline bool CopyToView(ViewTouch touch, void* view, const void* from, size_t length) {
  return CopyAcross(touch, view, from, length, true);
}

}  // namespace ipc
