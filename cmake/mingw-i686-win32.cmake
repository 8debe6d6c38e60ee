# Cross toolchain for the shipped program: 32-bit Windows, win32 thread model. The posix
# model links winpthreads, which imports functions that Windows 2000 and XP lack.
set(TW6_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
