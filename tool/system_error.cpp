#include "tool/system_error.h"

#include <cctype>
#include <cstring>

namespace kestrum {

std::string SystemReason(int error_number) {
  std::string text = std::strerror(error_number);
  if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
      !std::isupper(static_cast<unsigned char>(text[1])))
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

std::string CannotOpen(const std::string& path, int error_number) {
  return "cannot open " + path + ": " + SystemReason(error_number);
}

}  // namespace kestrum
