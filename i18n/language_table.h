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

}  // namespace kestrum
