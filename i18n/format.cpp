#include "i18n/format.h"

namespace kestrum {

std::string FormatPattern(const std::string& pattern, std::initializer_list<std::string> values) {
  std::string out;
  auto next = values.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      const char c = pattern[i + 1];
      if (c == 'd' || c == 's') {
        if (next != values.end()) out += *next++;
        ++i;
        continue;
      }
      if (c == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

}  // namespace kestrum
