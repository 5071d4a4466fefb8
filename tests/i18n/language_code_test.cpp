#include "i18n/language_code.h"

#include <gtest/gtest.h>

#include "i18n/format.h"
#include "i18n/language_table.h"

namespace kestrum {
namespace {

TEST(LanguageCode, TheNineCodes) {
  EXPECT_EQ(kLangRuRU, 611925u);
  EXPECT_EQ(kLangEnUS, 178867u);
  EXPECT_EQ(kLangDeDE, 136325u);
  EXPECT_EQ(kLangFrFR, 215250u);
  EXPECT_EQ(kLangItIT, 315700u);
  EXPECT_EQ(kLangEsES, 183475u);
  EXPECT_EQ(kLangKkKZ, 372090u);
  EXPECT_EQ(kLangUkUA, 700065u);
  EXPECT_EQ(kLangZhCN, 860270u);
  EXPECT_EQ(LanguagePart(kLangEnUS), LanguagePart(LanguageCode('E', 'N', 'G', 'B')));
  EXPECT_EQ(WithoutCharset(kLangDeDE + 0xFF00000u), kLangDeDE);
}

TEST(LanguageCode, ParseAndFormat) {
  EXPECT_EQ(ParseLanguageCode("deDE"), kLangDeDE);
  EXPECT_EQ(ParseLanguageCode("zh-CN"), kLangZhCN);
  EXPECT_EQ(ParseLanguageCode("kk_KZ"), kLangKkKZ);
  EXPECT_EQ(ParseLanguageCode("english"), 0u);
  EXPECT_EQ(ParseLanguageCode("de"), 0u);
  EXPECT_EQ(FormatLanguageCode(kLangUkUA), "ukUA");
  EXPECT_EQ(FormatLanguageCode(0), "");
}

TEST(LanguageTable, NineRowsInListOrder) {
  const uint32_t order[] = {kLangRuRU, kLangEnUS, kLangDeDE, kLangFrFR, kLangItIT,
                            kLangEsES, kLangKkKZ, kLangUkUA, kLangZhCN};
  for (int i = 0; i < kLanguageCount; ++i) EXPECT_EQ(LanguageTable[i].lang, order[i]);
  EXPECT_STREQ(LanguageTable[0].display_name, "Русский (Russian)");
  EXPECT_STREQ(LanguageTable[6].display_name, "Қазақша (Kazakh)");
  EXPECT_STREQ(LanguageTable[8].display_name, "中文 (Chinese)");
  EXPECT_EQ(FindLanguageRow(kLangFrFR + 0xFF00000u), &LanguageTable[3]);
  EXPECT_EQ(FindLanguageRow(LanguageCode('P', 'T', 'B', 'R')), nullptr);
}

TEST(LanguageTable, InterfaceLanguageFoldsCountriesAndFallsBackToEnglish) {
  EXPECT_EQ(InterfaceLanguage(ParseLanguageCode("deAT")).lang, kLangDeDE);
  EXPECT_EQ(InterfaceLanguage(ParseLanguageCode("deCH")).lang, kLangDeDE);
  EXPECT_EQ(InterfaceLanguage(ParseLanguageCode("zhTW")).lang, kLangZhCN);
  EXPECT_EQ(InterfaceLanguage(ParseLanguageCode("enGB")).lang, kLangEnUS);
  EXPECT_EQ(InterfaceLanguage(ParseLanguageCode("esMX")).lang, kLangEsES);
  EXPECT_EQ(InterfaceLanguage(ParseLanguageCode("ptBR")).lang, kLangEnUS);
  EXPECT_EQ(InterfaceLanguage(0).lang, kLangEnUS);
  EXPECT_EQ(InterfaceLanguage(kLangKkKZ + 0xFF00000u).lang, kLangKkKZ);
}

TEST(FormatPattern, FillsSlotsInOrderAndNeverReadsMissingValues) {
  EXPECT_EQ(FormatPattern("place %d files by mask %s", {"4", "C:\\x\\pack.*"}),
            "place 4 files by mask C:\\x\\pack.*");
  EXPECT_EQ(FormatPattern("[* %d]]", {"12"}), "[* 12]]");
  EXPECT_EQ(FormatPattern("%s %s %n 100%%", {"a"}), "a  %n 100%");
}

}  // namespace
}  // namespace kestrum
