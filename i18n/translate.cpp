#include "i18n/translate.h"

#include <atomic>
#include <string>
#include <unordered_map>
#include <vector>

#include "i18n/catalogue.h"
#include "i18n/language_code.h"

namespace kestrum {
namespace {

std::atomic<uint32_t> current_language{kLangEnUS};

struct Translation {
  uint32_t code;  // without the charset
  const char* text;
};

// English key -> translations, one index per catalogue, built on first use.
using Index = std::unordered_map<std::string, std::vector<Translation>>;

Index BuildIndex(const TranslationEntry* catalogue) {
  Index index;
  std::vector<Translation>* current = nullptr;
  for (const TranslationEntry* e = catalogue; e->lang != 0; ++e) {
    if (e->lang == 1) {
      current = &index[e->text];
    } else if (current && e->text && *e->text) {
      current->push_back({WithoutCharset(uint32_t(e->lang)), e->text});
    }
  }
  return index;
}

const std::vector<Index>& Catalogues() {
  static const std::vector<Index> catalogues = {BuildIndex(kProgramCatalogue),
                                                BuildIndex(kStandardCatalogue)};
  return catalogues;
}

}  // namespace

void SetCurrentLanguage(uint32_t code) {
  current_language.store(code);
}
uint32_t CurrentLanguage() {
  return current_language.load();
}

// The full code first, then the language part alone; the program's catalogue
// before the standard one; otherwise the key.
const char* t_(const char* key) {
  const uint32_t language = WithoutCharset(CurrentLanguage());
  const std::string k = key;
  for (bool whole_code : {true, false}) {
    for (const Index& index : Catalogues()) {
      const auto it = index.find(k);
      if (it == index.end()) continue;
      for (const Translation& t : it->second) {
        if (whole_code ? t.code == language : LanguagePart(t.code) == LanguagePart(language))
          return t.text;
      }
    }
  }
  return key;
}

}  // namespace kestrum
