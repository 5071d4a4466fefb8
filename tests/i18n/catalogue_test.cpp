// Every catalogue key in every one of the nine languages, against the table
// of expected texts in catalogue_expected.tsv.
#include <gtest/gtest.h>

#include <sstream>

#include "catalogue_expected.h"
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

TEST(Catalogue, EveryKeyInEveryLanguage) {
  LanguageGuard guard;
  const uint32_t columns[] = {kLangEnUS, kLangRuRU, kLangDeDE, kLangFrFR, kLangEsES,
                              kLangItIT, kLangUkUA, kLangZhCN, kLangKkKZ};
  const auto rows = ExpectedRows();
  ASSERT_EQ(rows.size(), 30u);
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
  EXPECT_STREQ(t_("Cancel"), "Stornieren");
  SetCurrentLanguage(kLangRuRU + (kCharsetUtf8 << kCharsetShift));
  EXPECT_STREQ(t_("Path:"), "\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C:");
  SetCurrentLanguage(ParseLanguageCode("ptBR"));
  EXPECT_STREQ(t_("Cancel"), "Cancel");
  EXPECT_STREQ(t_("Not a key at all"), "Not a key at all");
}

}  // namespace
}  // namespace kestrum
