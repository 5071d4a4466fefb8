#include "view/rich_text/rtf.h"

#include <gtest/gtest.h>

#include <string>

#include "view/rich_text/qtf.h"

namespace kestrum::rich_text {
namespace {

Rtf Write(const std::string& qtf, int base_twips = 200) {
  RtfStyle style;
  style.face = "Tahoma";
  style.base_twips = base_twips;
  return ToRtf(ParseQtf(qtf), style);
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(Rtf, EscapesWhatRtfReadsAsMarkup) {
  const std::string rtf = Write("a`\\b`{c`}d-|e").text;
  EXPECT_TRUE(Has(rtf, " a\\\\b\\{c\\}d\\tab e}")) << rtf;
}

TEST(Rtf, NonAsciiAsSigned16BitUnits) {
  const std::string rtf = Write("\xD0\x96\xEF\x80\x80\xF0\x9F\x98\x80").text;  // Ж U+F000 😀
  EXPECT_TRUE(Has(rtf, "\\u1046?\\u-4096?\\u-10179?\\u-8704?")) << rtf;
}

TEST(Rtf, InvalidUtf8IsOneReplacementPerByte) {
  const Rtf rtf = Write("[^u^ \xC3\x28\xFF]");  // a broken pair and a stray byte
  EXPECT_TRUE(Has(rtf.text, "\\u-3?(\\u-3?")) << rtf.text;
  ASSERT_EQ(rtf.links.size(), 1u);
  EXPECT_EQ(rtf.links[0].end - rtf.links[0].start, 3);
}

TEST(Rtf, LinkSpansCountUtf16UnitsAndParagraphBreaks) {
  const Rtf rtf = Write(
      "ab[^u^ cd]&\xD0\x96[1^v^ e\xF0\x9F\x98\x80"
      "f]");
  ASSERT_EQ(rtf.links.size(), 2u);
  EXPECT_EQ(rtf.links[0].start, 2);
  EXPECT_EQ(rtf.links[0].end, 4);
  EXPECT_EQ(rtf.links[0].link, 0);
  // The break takes position 4, Ж position 5; the emoji takes two units.
  EXPECT_EQ(rtf.links[1].start, 6);
  EXPECT_EQ(rtf.links[1].end, 10);
  EXPECT_EQ(rtf.links[1].link, 1);
  EXPECT_EQ(rtf.links[1].size, 1);
  EXPECT_EQ(rtf.length, 10);
}

TEST(Rtf, ControlCharactersTakeNoPosition) {
  Document doc = ParseQtf("x[^u^ y]");
  doc.paragraphs[0].runs[0].text = "\x01\x7Fx";
  const Rtf rtf = ToRtf(doc, RtfStyle{});
  ASSERT_EQ(rtf.links.size(), 1u);
  EXPECT_EQ(rtf.links[0].start, 1);
}

TEST(Rtf, LinksTakeTheLinkColourAndUnderline) {
  RtfStyle style;
  style.text = {1, 2, 3};
  style.link = {255, 255, 255};
  const std::string rtf = ToRtf(ParseQtf("[@3 [^u^ x]]y"), style).text;
  EXPECT_TRUE(Has(rtf, "\\red255\\green255\\blue255;")) << rtf;
  EXPECT_TRUE(Has(rtf, "\\red1\\green2\\blue3;")) << rtf;
  EXPECT_FALSE(Has(rtf, "\\red128")) << "the link's own colour is not used: " << rtf;
  EXPECT_TRUE(Has(rtf, "\\ul x}")) << rtf;
}

TEST(Rtf, ColoursAreListedOnce) {
  const std::string rtf = Write("[@3 a]b[@3 c]d[@(128.0.0) e]").text;
  EXPECT_EQ(Count(rtf, "\\red"), 2u) << rtf;  // the text colour and red
}

TEST(Rtf, SizesScaleFromTheBase) {
  EXPECT_EQ(SizeTwips(kDefaultSize, 165), 165);
  EXPECT_EQ(SizeTwips(2, 165), 165);
  EXPECT_EQ(SizeTwips(1, 200), 160);
  EXPECT_EQ(SizeTwips(0, 200), 120);
  EXPECT_EQ(SizeTwips(9, 200), 960);
  const std::string rtf = Write("a[0 b][9 c]").text;
  EXPECT_TRUE(Has(rtf, "\\fs20\\cf1 a}")) << rtf;
  EXPECT_TRUE(Has(rtf, "\\fs12\\cf1 b}")) << rtf;
  EXPECT_TRUE(Has(rtf, "\\fs96\\cf1 c}")) << rtf;
}

TEST(Rtf, CharacterEffects) {
  const std::string rtf = Write("[*/_- x]").text;
  EXPECT_TRUE(Has(rtf, "\\b\\i\\ul\\strike x}")) << rtf;
}

TEST(Rtf, ParagraphsWithTheirAlignment) {
  const std::string rtf = Write("a&[= b]&[> c]&[# d]").text;
  EXPECT_EQ(Count(rtf, "\\par\\pard"), 3u) << rtf;
  EXPECT_TRUE(Has(rtf, "\\pard\\ql{")) << rtf;
  EXPECT_TRUE(Has(rtf, "\\pard\\qc{")) << rtf;
  EXPECT_TRUE(Has(rtf, "\\pard\\qr{")) << rtf;
  EXPECT_TRUE(Has(rtf, "\\pard\\qj{")) << rtf;
}

TEST(Rtf, FontTableHoldsBaseAndDocumentFaces) {
  const std::string rtf = Write("[!Odd;Face! x][!\xD0\x96! y]").text;
  EXPECT_TRUE(Has(rtf, "{\\f0\\fnil Tahoma;}{\\f1\\fnil OddFace;}{\\f2\\fnil \\u1046?;}")) << rtf;
  EXPECT_TRUE(Has(rtf, "{\\plain\\f1\\fs20")) << rtf;
  EXPECT_TRUE(Has(rtf, "{\\plain\\f2\\fs20")) << rtf;
}

TEST(Rtf, EmptyDocumentIsOneEmptyParagraph) {
  const Rtf rtf = Write("");
  EXPECT_TRUE(rtf.links.empty());
  EXPECT_FALSE(Has(rtf.text, "\\par\\")) << rtf.text;
  EXPECT_EQ(rtf.text.back(), '}');
}

// Pictures: a DIB at the shown size (the markup's dots at the screen's DPI),
// decoded by the caller; one that does not decode is an empty box.
TEST(Rtf, PicturesAreBitmapsOfTheirShownSize) {
  RtfStyle style;
  style.dpi = 144;
  style.paper = {10, 20, 30};
  // A 2 x 1 picture: opaque red, then fully transparent.
  style.decode_picture = [](const PictureObject& p, DecodedPicture* out) {
    if (p.data.size() != 3) return false;
    *out = {2, 1, {0, 0, 255, 255, 9, 9, 9, 0}};
    return true;
  };
  const Rtf rtf = ToRtf(ParseQtf("a@@PNG:400&200(AAAA)@@PNG:0&0(AAAA)@@PNG:40&40(AA)"), style);
  // 400 x 200 dots at 144 DPI: 96 x 48 pixels, 960 x 480 twips.
  EXPECT_TRUE(Has(rtf.text, "{\\pict\\dibitmap0\\picw96\\pich48\\picwgoal960\\pichgoal480"));
  // No size in the markup: the picture's own pixels, scaled from 96 DPI.
  EXPECT_TRUE(Has(rtf.text, "\\picw3\\pich1\\picwgoal30\\pichgoal10"));
  // Damaged data: a 9 x 9 box.
  EXPECT_TRUE(Has(rtf.text, "\\picw9\\pich9\\picwgoal90\\pichgoal90"));
  EXPECT_EQ(rtf.length, 4);
  // The header of the 3 x 1 DIB, then its row: red twice, then the paper
  // where the picture is transparent, padded to 12 bytes.
  const size_t at = rtf.text.find("\\picw3");
  const size_t dib = rtf.text.find("\\wbmplanes1 ", at) + 12;
  EXPECT_EQ(rtf.text.substr(dib, 16), "2800000003000000");
  EXPECT_EQ(rtf.text.substr(dib + 80, 25), "0000ff0000ff1e140a000000}");
}

TEST(Rtf, PicturesBeyondTheBudgetAreBoxes) {
  RtfStyle style;
  style.decode_picture = [](const PictureObject&, DecodedPicture* out) {
    *out = {1, 1, {0, 0, 0, 255}};
    return true;
  };
  // 1920 x 1920 each at 96 DPI: one fits, the second is a box; boxes are
  // written small and stretched, as long as the budget lasts.
  const Rtf rtf = ToRtf(ParseQtf("@@PNG:12000&12000(AAAA)@@PNG:12000&12000(AAAA)"), style);
  EXPECT_EQ(Count(rtf.text, "\\picw1920\\pich1920"), 1u);
  EXPECT_EQ(Count(rtf.text, "\\picw48\\pich48\\picwgoal28800"), 1u);
}

}  // namespace
}  // namespace kestrum::rich_text
