// The nine interface languages, in the order of the window's language list.
#pragma once

#include <cstdint>

namespace kestrum {

struct LanguageRow {
  uint32_t lang;
  const char* display_name;  // UTF-8, shown untranslated
};

constexpr int kLanguageCount = 9;
extern const LanguageRow LanguageTable[kLanguageCount];

// The row whose code equals `lang` (charset bits ignored), or nullptr.
const LanguageRow* FindLanguageRow(uint32_t lang);

// The row of the interface language for any code: by its language part, so
// country variants fold onto the nine (deAT -> deDE, zhTW -> zhCN, enGB ->
// enUS); any other language gives English.
const LanguageRow& InterfaceLanguage(uint32_t code);

}  // namespace kestrum
