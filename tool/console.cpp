#include "tool/console.h"

#include <cstdarg>
#include <vector>

namespace kestrum {
namespace {

std::string FormatList(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatList(format, args);
  va_end(args);
  Write(stdout, text);
}

}  // namespace kestrum
