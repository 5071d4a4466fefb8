// 32-bit language codes: four letters (two for the language, two for the
// country), each stored as its place in the alphabet (A = 1) in five bits,
// the first letter in bits 15..19 down to the fourth in bits 0..4. Bits 20..27
// may carry a character-set number.
#pragma once

#include <cstdint>
#include <string>

namespace kestrum {

constexpr uint32_t LanguageCode(char a, char b, char c, char d) {
  return ((uint32_t(a & 0x1F)) << 15) | ((uint32_t(b & 0x1F)) << 10) | ((uint32_t(c & 0x1F)) << 5) |
         uint32_t(d & 0x1F);
}

constexpr uint32_t kLangRuRU = LanguageCode('R', 'U', 'R', 'U');
constexpr uint32_t kLangEnUS = LanguageCode('E', 'N', 'U', 'S');
constexpr uint32_t kLangDeDE = LanguageCode('D', 'E', 'D', 'E');
constexpr uint32_t kLangFrFR = LanguageCode('F', 'R', 'F', 'R');
constexpr uint32_t kLangItIT = LanguageCode('I', 'T', 'I', 'T');
constexpr uint32_t kLangEsES = LanguageCode('E', 'S', 'E', 'S');
constexpr uint32_t kLangKkKZ = LanguageCode('K', 'K', 'K', 'Z');
constexpr uint32_t kLangUkUA = LanguageCode('U', 'K', 'U', 'A');
constexpr uint32_t kLangZhCN = LanguageCode('Z', 'H', 'C', 'N');

constexpr uint32_t kLanguagePartMask = 0xFFC00;  // bits 10..19
constexpr uint32_t kCharsetShift = 20;
constexpr uint32_t kCharsetUtf8 = 255;

constexpr uint32_t LanguagePart(uint32_t code) {
  return code & kLanguagePartMask;
}
constexpr uint32_t WithoutCharset(uint32_t code) {
  return code & 0xFFFFF;
}

// "enUS" -> code; also accepts "en-US" and "en_US". Returns 0 when the text is
// not two letters, an optional separator and two letters.
uint32_t ParseLanguageCode(const std::string& text);
// code -> "enUS" (empty for 0).
std::string FormatLanguageCode(uint32_t code);

}  // namespace kestrum
