#include "view/rich_text/fallback_faces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/rich_text/qtf.h"

namespace kestrum::rich_text {
namespace {

// The base face draws ASCII and Cyrillic, "Han" ASCII and CJK ideographs,
// "Dingbats" the symbols from U+2600; any other face only ASCII.
std::vector<bool> Covers(const std::string& face, const std::u16string& text) {
  std::vector<bool> out;
  for (char16_t c : text) {
    bool drawn = c < 0x80;
    if (face.empty()) drawn |= c >= 0x400 && c < 0x500;
    if (face == "Han") drawn |= c >= 0x4E00 && c <= 0x9FFF;
    if (face == "Dingbats") drawn |= c >= 0x2600 && c < 0x2800;
    out.push_back(drawn);
  }
  return out;
}

// Each run as "face|text".
std::vector<std::string> Runs(const Document& doc, size_t paragraph = 0) {
  std::vector<std::string> out;
  for (const Run& run : doc.paragraphs[paragraph].runs)
    out.push_back(doc.FaceOf(run) + "|" + run.text);
  return out;
}

TEST(FallbackFaces, LettersTheFaceLacksTakeTheFirstFaceThatHasThem) {
  // 文件 Z:\a.txt 已存在; Cyrillic Ж, a sun ☀, a Hangul 가 that no face draws.
  Document doc = ParseQtf(
      "[* \xE6\x96\x87\xE4\xBB\xB6 a.txt \xE5\xB7\xB2]&"
      "\xD0\x96\xE2\x98\x80\xEA\xB0\x80");
  UseFallbackFaces(doc, {"Han", "Dingbats"}, Covers);
  EXPECT_EQ(Runs(doc, 0), (std::vector<std::string>{"Han|\xE6\x96\x87\xE4\xBB\xB6", "| a.txt ",
                                                    "Han|\xE5\xB7\xB2"}));
  for (const rich_text::Run& run : doc.paragraphs[0].runs) EXPECT_TRUE(run.format.bold);
  EXPECT_EQ(Runs(doc, 1),
            (std::vector<std::string>{"|\xD0\x96", "Dingbats|\xE2\x98\x80", "|\xEA\xB0\x80"}));
  EXPECT_EQ(doc.faces, (std::vector<std::string>{"Han", "Dingbats"}));  // each once
}

TEST(FallbackFaces, KeepsLinksPicturesFacesOfTheirOwnAndPairs) {
  // A link in the face "Mono", whose Cyrillic no fallback draws either; a
  // pair (U+1F600) that no face draws between ideographs; a picture.
  Document doc = ParseQtf(
      "[!Mono! [^http://x^ a\xD0\x96]][^http://y^ "
      "\xE4\xB8\x80\xF0\x9F\x98\x80\xE4\xB8\x80]");
  doc.paragraphs[0].runs.push_back({kPictureText, {}});
  doc.paragraphs[0].runs.back().format.picture = 0;
  const std::string text = PlainText(doc);
  UseFallbackFaces(doc, {"Han"}, Covers);
  EXPECT_EQ(PlainText(doc), text);
  const std::vector<rich_text::Run>& runs = doc.paragraphs[0].runs;
  EXPECT_EQ(Runs(doc),
            (std::vector<std::string>{"Mono|a\xD0\x96", "Han|\xE4\xB8\x80", "|\xF0\x9F\x98\x80",
                                      "Han|\xE4\xB8\x80", std::string("|") + kPictureText}));
  EXPECT_EQ(runs[1].format.link, 1);
  EXPECT_EQ(runs[2].format.link, 1);
  EXPECT_EQ(runs[3].format.link, 1);
  EXPECT_EQ(runs[4].format.picture, 0);
}

}  // namespace
}  // namespace kestrum::rich_text
