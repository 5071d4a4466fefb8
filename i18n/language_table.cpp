#include "i18n/language_table.h"

#include "i18n/language_code.h"

namespace kestrum {

const LanguageRow LanguageTable[kLanguageCount] = {
    {kLangRuRU, "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9 (Russian)"},
    {kLangEnUS, "English (English)"},
    {kLangDeDE, "Deutsch (German)"},
    {kLangFrFR,
     "Fran\xC3\xA7"
     "ais (French)"},
    {kLangItIT, "Italiano (Italian)"},
    {kLangEsES, "Espa\xC3\xB1ol (Spanish)"},
    {kLangKkKZ, "\xD2\x9A\xD0\xB0\xD0\xB7\xD0\xB0\xD2\x9B\xD1\x88\xD0\xB0 (Kazakh)"},
    {kLangUkUA,
     "\xD0\xA3\xD0\xBA\xD1\x80\xD0\xB0\xD1\x97\xD0\xBD\xD1\x81\xD1\x8C\xD0\xBA\xD0\xB0 "
     "(Ukrainian)"},
    {kLangZhCN, "\xE4\xB8\xAD\xE6\x96\x87 (Chinese)"},
};

const LanguageRow* FindLanguageRow(uint32_t lang) {
  for (const LanguageRow& row : LanguageTable)
    if (row.lang == WithoutCharset(lang)) return &row;
  return nullptr;
}

}  // namespace kestrum

namespace kestrum {

const LanguageRow& InterfaceLanguage(uint32_t code) {
  for (const LanguageRow& row : LanguageTable)
    if (LanguagePart(row.lang) == LanguagePart(code)) return row;
  return LanguageTable[1];  // English
}

}  // namespace kestrum
