// printf into a string, for the texts that tool and stub print.
#pragma once

#include <string>

// printf-style checking; mingw's printf family is the GNU one (the
// "printf" archetype there would be Microsoft's, which lacks %zu and %llu).
#ifdef __MINGW32__
#define KESTRUM_PRINTF(format_arg, first_arg) \
  __attribute__((format(gnu_printf, format_arg, first_arg)))
#else
#define KESTRUM_PRINTF(format_arg, first_arg) __attribute__((format(printf, format_arg, first_arg)))
#endif

namespace kestrum {

std::string Format(const char* format, ...) KESTRUM_PRINTF(1, 2);

}  // namespace kestrum
