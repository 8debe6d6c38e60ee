// Linked into the shipped program only, ahead of the library. The library's default terminate
// handler is the verbose one, which names the exception's type on stderr through the demangler;
// a windowless program has no stderr, and the two weigh about 47 KB. std::terminate still ends
// the run by abort(), as the verbose handler does after printing.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
