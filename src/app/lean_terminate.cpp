// Linked into the shipped program only, ahead of the library. The library's default terminate
// handler is the verbose one, which names the exception's type on stderr through the demangler;
// a windowless program has no stderr, and the two weigh about 47 KB. An abort, whether through
// std::terminate or called directly by the runtime (the link wraps abort), ends the run with exit
// code 1: msvcrt's abort() exits with 3 and may first show "abnormal program termination".
#include <windows.h>

#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() { ::ExitProcess(1); }
}  // namespace __gnu_cxx

extern "C" void __wrap_abort() { ::ExitProcess(1); }
