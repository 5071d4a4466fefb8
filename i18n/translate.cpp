#include "i18n/translate.h"

#include <atomic>

#include "i18n/language_code.h"

namespace kestrum {
namespace {
std::atomic<uint32_t> current_language{kLangEnUS};
}  // namespace

void SetCurrentLanguage(uint32_t code) {
  current_language.store(code);
}
uint32_t CurrentLanguage() {
  return current_language.load();
}

// The catalogue of translations is not registered yet: every text shows in English.
const char* t_(const char* key) {
  return key;
}

}  // namespace kestrum
