// Every catalogue key in every one of the nine languages, against the table
// of expected texts in catalogue_expected.tsv; and the catalogue itself,
// record by record: no key without one of the languages, and no translation
// that loses its key's placeholders or markup.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "catalogue_expected.h"
#include "i18n/catalogue.h"
#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"

namespace kestrum {
namespace {

class LanguageGuard {
 public:
  LanguageGuard() : saved_(CurrentLanguage()) {}
  ~LanguageGuard() { SetCurrentLanguage(saved_); }

 private:
  uint32_t saved_;
};

std::vector<std::vector<std::string>> ExpectedRows() {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(kCatalogueExpected);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, '\t')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

using Tokens = std::vector<std::string>;

// What FormatPattern and the QTF reader act on, in order: "%d", "%s", "%%" and
// any other "%" pair; a format opener from "[" to its space ("[* "); and every
// "]", "^", "&" and "`".
Tokens Markup(const std::string& text) {
  Tokens tokens;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      tokens.push_back(text.substr(i++, 2));
    } else if (text[i] == '[') {
      const size_t end = std::min(text.find(' ', i), text.size() - 1) + 1;
      tokens.push_back(text.substr(i, end - i));
      i = end - 1;
    } else if (std::string("]^&`").find(text[i]) != std::string::npos) {
      tokens.emplace_back(1, text[i]);
    }
  }
  return tokens;
}

// Calls `check(key, lang, text)` for every translation record of a catalogue
// and `start(key)` for every key.
template <typename Start, typename Check>
void Walk(const TranslationEntry* catalogue, Start start, Check check) {
  const char* key = nullptr;
  for (const TranslationEntry* e = catalogue; e->lang != 0; ++e) {
    if (e->lang == 1) {
      key = e->text;
      start(key);
    } else {
      ASSERT_NE(key, nullptr) << "a translation before the first key: " << e->text;
      check(key, uint32_t(e->lang), e->text ? e->text : "");
    }
  }
}

TEST(Catalogue, EachKeyOnceWithEachOtherLanguageOnceInUtf8AndInTheTable) {
  const uint32_t others[] = {kLangRuRU, kLangDeDE, kLangFrFR, kLangEsES,
                             kLangItIT, kLangUkUA, kLangZhCN, kLangKkKZ};
  std::map<std::string, std::multiset<uint32_t>> languages;
  Walk(
      kProgramCatalogue,
      [&](const char* key) {
        EXPECT_TRUE(languages.emplace(key, std::multiset<uint32_t>()).second) << key;
      },
      [&](const char* key, uint32_t lang, const std::string& text) {
        EXPECT_EQ(lang >> kCharsetShift, kCharsetUtf8) << key;
        EXPECT_FALSE(text.empty()) << key << " in " << FormatLanguageCode(WithoutCharset(lang));
        languages[key].insert(WithoutCharset(lang));
      });
  std::set<std::string> table_keys;
  for (const auto& row : ExpectedRows()) table_keys.insert(row[0]);
  for (const auto& [key, langs] : languages) {
    EXPECT_EQ(langs.size(), 8u) << key;
    for (uint32_t lang : others)
      EXPECT_EQ(langs.count(lang), 1u) << key << " in " << FormatLanguageCode(lang);
    EXPECT_EQ(table_keys.count(key), 1u) << key << " has no row in catalogue_expected.tsv";
  }
}

TEST(Catalogue, TranslationsKeepTheKeysPlaceholdersAndMarkupInOrder) {
  EXPECT_EQ(Markup("100%% of [* %d]] in %s"), (Tokens{"%%", "[* ", "%d", "]", "]", "%s"}));
  for (const TranslationEntry* catalogue : {kProgramCatalogue, kStandardCatalogue}) {
    Walk(
        catalogue, [](const char*) {},
        [](const char* key, uint32_t lang, const std::string& text) {
          EXPECT_EQ(Markup(text), Markup(key))
              << text << " (" << FormatLanguageCode(WithoutCharset(lang)) << ") for " << key;
        });
  }
}

TEST(Catalogue, EveryKeyInEveryLanguage) {
  LanguageGuard guard;
  const uint32_t columns[] = {kLangEnUS, kLangRuRU, kLangDeDE, kLangFrFR, kLangEsES,
                              kLangItIT, kLangUkUA, kLangZhCN, kLangKkKZ};
  const auto rows = ExpectedRows();
  ASSERT_EQ(rows.size(), 46u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 10u) << row[0];
    for (int i = 0; i < 9; ++i) {
      SetCurrentLanguage(columns[i]);
      EXPECT_STREQ(t_(row[0].c_str()), row[size_t(i) + 1].c_str())
          << row[0] << " in " << FormatLanguageCode(columns[i]);
    }
  }
}

TEST(Catalogue, CountryVariantsAndCharsetsFoldOntoTheLanguage) {
  LanguageGuard guard;
  SetCurrentLanguage(ParseLanguageCode("deAT"));
  EXPECT_STREQ(t_("Cancel"), "Abbrechen");
  SetCurrentLanguage(kLangRuRU + (kCharsetUtf8 << kCharsetShift));
  EXPECT_STREQ(t_("Path:"), "\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C:");
  SetCurrentLanguage(ParseLanguageCode("ptBR"));
  EXPECT_STREQ(t_("Cancel"), "Cancel");
  EXPECT_STREQ(t_("Not a key at all"), "Not a key at all");
}

}  // namespace
}  // namespace kestrum
