// Translation catalogues in the toolkit's translation-module form.
#pragma once

#include <cstdint>

namespace kestrum {

struct TranslationEntry {
  int32_t lang;      // 1: starts a key; else the language code with its charset; 0: end
  const char* text;  // UTF-8; an empty translation counts as absent
};

// The program's own texts, and the toolkit's standard words ("OK", "Cancel",
// "Close"); looked up in this order.
extern const TranslationEntry kProgramCatalogue[];
extern const TranslationEntry kStandardCatalogue[];

}  // namespace kestrum
