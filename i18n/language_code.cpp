#include "i18n/language_code.h"

#include <cctype>

namespace kestrum {

uint32_t ParseLanguageCode(const std::string& text) {
  std::string letters;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c == '-' || c == '_') && i == 2) continue;
    if (!std::isalpha(static_cast<unsigned char>(c))) return 0;
    letters.push_back(c);
  }
  if (letters.size() != 4) return 0;
  return LanguageCode(letters[0], letters[1], letters[2], letters[3]);
}

std::string FormatLanguageCode(uint32_t code) {
  if (WithoutCharset(code) == 0) return {};
  std::string out(4, ' ');
  for (int i = 0; i < 4; ++i) {
    const uint32_t v = (code >> (15 - 5 * i)) & 0x1F;
    const char base = i < 2 ? 'a' : 'A';
    out[i] = v >= 1 && v <= 26 ? static_cast<char>(base + v - 1) : '?';
  }
  return out;
}

}  // namespace kestrum
