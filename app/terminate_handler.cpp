// What the program does on an exception nobody catches: it ends at once.
//
// The C++ runtime's default prints the exception's demangled type on stderr
// first; a GUI program has no console to print on, and the demangler costs the
// stub some 45 KiB. This definition takes the place of the runtime's own.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
