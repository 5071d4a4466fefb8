#include "view/printf_text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kestrum {

std::string Format(const char* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return text;
}

}  // namespace kestrum
