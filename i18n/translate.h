// The translation function: every text shown to the user is written in
// English in the code and passed through t_() when it is put on screen; the
// English text is the key.
#pragma once

#include <cstdint>

namespace kestrum {

void SetCurrentLanguage(uint32_t code);
uint32_t CurrentLanguage();

// The text for `key` in the current language (the key itself when no
// translation exists). The result stays valid for the life of the program.
const char* t_(const char* key);

}  // namespace kestrum
