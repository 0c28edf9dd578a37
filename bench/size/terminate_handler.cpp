// The size experiment's replacement for libstdc++'s verbose terminate
// handler. The default one prints the type of an uncaught exception and so
// links in the whole C++ demangler (and the C library's printf machinery);
// this one just aborts.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
