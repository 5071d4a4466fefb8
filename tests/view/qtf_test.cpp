#include "view/rich_text/qtf.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrum::rich_text {
namespace {

const std::string kSite = "https://example.org";

// The runs of one paragraph as "text|flags" strings, for compact comparisons:
// b bold, i italic, u underline, s strike, digit the size, L a link.
std::vector<std::string> Describe(const Paragraph& p) {
  std::vector<std::string> out;
  for (const Run& r : p.runs) {
    std::string flags;
    if (r.format.bold) flags += 'b';
    if (r.format.italic) flags += 'i';
    if (r.format.underline) flags += 'u';
    if (r.format.strike) flags += 's';
    if (r.format.size != kDefaultSize) flags += char('0' + r.format.size);
    if (r.format.link >= 0) flags += 'L';
    out.push_back(r.text + "|" + flags);
  }
  return out;
}

using Runs = std::vector<std::string>;

TEST(QtfProgramTexts, FileCountHasBoldNumberAtSizeTwo) {
  const Document doc = ParseQtf("[2; Quantity of files in archive: [* 1234]]");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"Quantity of files in archive: |2", "1234|b2"}));
}

TEST(QtfProgramTexts, AboutIsOneLinkAtSizeTwo) {
  const std::string url = kSite + "/archrf/?archref=123915";
  const Document doc = ParseQtf("[2; [^" + url + "^; About Kestrum]]");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const Paragraph& p = doc.paragraphs[0];
  EXPECT_EQ(Describe(p), (Runs{"About Kestrum|2L"}));
  EXPECT_EQ(doc.LinkOf(p.runs[0]), url);
}

TEST(QtfProgramTexts, OverwritePromptIsTwoParagraphsAtSizeOne) {
  const Document doc = ParseQtf(
      "[1; File C:\\out\\a.txt already exists.]&[1; Set new name for this file, or rewrite it.]");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"File C:\\out\\a.txt already exists.|1"}));
  EXPECT_EQ(Describe(doc.paragraphs[1]), (Runs{"Set new name for this file, or rewrite it.|1"}));
}

TEST(QtfProgramTexts, EscapedPathShowsLiterallyInPrompt) {
  const std::string path = "C:\\out\\my_file [1]&more.txt";
  const Document doc = ParseQtf("[1; File " + QtfEscape(path) + " already exists.]");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"File " + path + " already exists.|1"}));
}

TEST(QtfProgramTexts, CompletionMessageHasLinkInSecondParagraph) {
  const std::string url = kSite + "/arbitration/complaint/123915/";
  const Document doc = ParseQtf(
      "[1; [ The archive is successfully unpacked.]&[ You can leave a response on a site [^" + url +
      "^; example.org] about conformity of files of archive declared.]]");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"The archive is successfully unpacked.|1"}));
  const Paragraph& p = doc.paragraphs[1];
  EXPECT_EQ(Describe(p), (Runs{"You can leave a response on a site |1", "example.org|1L",
                               " about conformity of files of archive declared.|1"}));
  EXPECT_EQ(doc.LinkOf(p.runs[1]), url);
  EXPECT_EQ(PlainText(doc),
            "The archive is successfully unpacked.\nYou can leave a response on a site example.org "
            "about conformity of files of archive declared.");
}

TEST(QtfFormat, NestedFormatsAddUpAndRestoreOnClose) {
  const Document doc = ParseQtf("a[* b[/_ c[- d]]e]f");
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"a|", "b|b", "c|biu", "d|bius", "e|b", "f|"}));
}

TEST(QtfFormat, CodesMaySitSideBySideOrBeSeparated) {
  const Document doc = ParseQtf("[*/3 x][*;/;3; y]");
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"xy|bi3"}));
}

TEST(QtfFormat, Colours) {
  const Document doc =
      ParseQtf("[@3 a][@(10.20.30) b][@(77) c][@b d][@3 [@N e]][$4 f][@R;$(1.2.3) g]");
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 6u);  // e and f have no colour and join
  EXPECT_EQ(runs[0].format.color, (Color{128, 0, 0}));
  EXPECT_EQ(runs[1].format.color, (Color{10, 20, 30}));
  EXPECT_EQ(runs[2].format.color, (Color{77, 77, 77}));
  EXPECT_EQ(runs[3].format.color, (Color{0, 0, 128}));
  EXPECT_EQ(runs[4].text, "ef");
  EXPECT_FALSE(runs[4].format.color.has_value());
  EXPECT_EQ(runs[5].format.color, (Color{255, 0, 0}));
}

TEST(QtfFormat, InvalidColoursAreShownAsText) {
  for (const char* qtf :
       {"[@(300.0.0) x]", "[@(1.2) x]", "[@(1.2.3.4) x]", "[@( x]", "[@Z x]", "[@"}) {
    const Document doc = ParseQtf(qtf);
    EXPECT_EQ(PlainText(doc), qtf);
    EXPECT_FALSE(doc.paragraphs[0].runs[0].format.color.has_value()) << qtf;
  }
}

TEST(QtfFormat, PaletteCoversDigitsAndRejectsOthers) {
  Color c;
  for (char d = '0'; d <= '9'; ++d) EXPECT_TRUE(QtfColor(d, &c)) << d;
  ASSERT_TRUE(QtfColor('2', &c));
  EXPECT_EQ(c, (Color{255, 255, 255}));
  EXPECT_FALSE(QtfColor('x', &c));
  EXPECT_FALSE(QtfColor('N', &c));
}

TEST(QtfFormat, SizesFromIndexAndFromDots) {
  const Document doc = ParseQtf("[0 a][9 b][+100 c][+5000 d][+1 e]");
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_EQ(runs[0].format.size, 0);
  EXPECT_EQ(runs[1].format.size, 9);
  EXPECT_EQ(runs[2].format.size, 3);
  EXPECT_EQ(runs[3].format.size, 9);
  EXPECT_EQ(runs[4].format.size, 0);
}

TEST(QtfFormat, FacesByNameAndByFamily) {
  const Document doc = ParseQtf("[!Tahoma! a][C b][!Tahoma! [!! c]]");
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(doc.FaceOf(runs[0]), "Tahoma");
  EXPECT_EQ(doc.FaceOf(runs[1]), "Courier New");
  EXPECT_EQ(doc.FaceOf(runs[2]), "");
}

TEST(QtfFormat, LinkTargetTakesEscapesAndCoversNestedRuns) {
  const Document doc = ParseQtf("[^a`^b`:c^ x[* y]]");
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(doc.LinkOf(runs[0]), "a^b:c");
  EXPECT_EQ(doc.LinkOf(runs[1]), "a^b:c");
  EXPECT_TRUE(runs[1].format.bold);
}

TEST(QtfFormat, AlignmentBelongsToParagraphsItTouches) {
  const Document doc = ParseQtf("[= Title]&Body&[> a&b]&[# j]&x [< y]");
  ASSERT_EQ(doc.paragraphs.size(), 6u);
  EXPECT_EQ(doc.paragraphs[0].align, Align::kCenter);
  EXPECT_EQ(doc.paragraphs[1].align, Align::kLeft);
  EXPECT_EQ(doc.paragraphs[2].align, Align::kRight);
  EXPECT_EQ(doc.paragraphs[3].align, Align::kRight);
  EXPECT_EQ(doc.paragraphs[4].align, Align::kJustify);
  EXPECT_EQ(doc.paragraphs[5].align, Align::kLeft);
}

TEST(QtfFormat, DocumentCodesAreSkipped) {
  const Document doc = ParseQtf("[s0;%EN-US;:label:l288;i448;b42;a42;H4;Ientry; [c`, a]]");
  EXPECT_EQ(PlainText(doc), "a");
}

TEST(QtfText, BackquoteEscapesAnyCharacter) {
  EXPECT_EQ(PlainText(ParseQtf("`[x`] `& `` `_ `-`| `@`$41;")), "[x] & ` _ -| @$41;");
  EXPECT_EQ(PlainText(ParseQtf("end`")), "end`");
}

TEST(QtfText, RawGroupIsLiteral) {
  EXPECT_EQ(PlainText(ParseQtf("\1a[x]&_\1[* b]")), "a[x]&_b");
  EXPECT_EQ(PlainText(ParseQtf("x\1[unclosed")), "x[unclosed");
}

TEST(QtfText, CharacterCodes) {
  EXPECT_EQ(PlainText(ParseQtf("a_b-|c-d")),
            "a\xC2\xA0"
            "b\tc-d");
  EXPECT_EQ(PlainText(ParseQtf("@$41;@$20AC;@$1F600;")), "A\xE2\x82\xAC\xF0\x9F\x98\x80");
  // Not characters: shown as written.
  EXPECT_EQ(PlainText(ParseQtf("@$D800;@$110000;@$;@$2;@$41")), "@$D800;@$110000;@$;@$2;@$41");
  // Control bytes are dropped and a NUL ends the text.
  EXPECT_EQ(PlainText(ParseQtf(std::string("a\nb\tc\0d", 7))), "abc");
}

TEST(QtfText, EscapeRoundTripsEveryPrintableAscii) {
  std::string all;
  for (char c = ' '; c <= '~'; ++c) all += c;
  all += "\xD0\x96";  // UTF-8 passes through
  EXPECT_EQ(PlainText(ParseQtf(QtfEscape(all))), all);
  EXPECT_EQ(QtfEscape("a b_1"), "a b`_1");
}

TEST(QtfHostile, UnknownCodesAreShownAsText) {
  const Document doc = ParseQtf("[x bold] [*Q y] [{_} z] {{1:1 a:: b}}");
  // The underscore outside an opening is still a hard space.
  EXPECT_EQ(PlainText(doc), "[x bold] [*Q y] [{\xC2\xA0} z] {{1:1 a:: b}}");
  for (const auto& r : doc.paragraphs[0].runs) EXPECT_FALSE(r.format.bold) << r.text;
}

TEST(QtfHostile, UnbalancedBrackets) {
  EXPECT_EQ(Describe(ParseQtf("a]b").paragraphs[0]), (Runs{"a]b|"}));
  EXPECT_EQ(Describe(ParseQtf("[* a[/ b").paragraphs[0]), (Runs{"a|b", "b|bi"}));
  EXPECT_EQ(Describe(ParseQtf("[* a]]]b").paragraphs[0]), (Runs{"a|b", "]]b|"}));
  EXPECT_EQ(PlainText(ParseQtf("[^no end x]")), "[^no end x]");
  EXPECT_EQ(PlainText(ParseQtf("[")), "[");
  EXPECT_EQ(PlainText(ParseQtf("[*")), "[*");
}

TEST(QtfHostile, DeepNestingKeepsTextAndPairsBrackets) {
  const int depth = 100000;
  std::string qtf;
  for (int i = 0; i < depth; ++i) qtf += "[* ";
  qtf += "x";
  for (int i = 0; i < depth; ++i) qtf += ']';
  qtf += "y";
  const Document doc = ParseQtf(qtf);
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  // Every bracket pairs up, so y is back outside all of them.
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"x|b", "y|"}));
}

TEST(QtfHostile, FormatsBeyondTheCapAreNotApplied) {
  std::string qtf;
  for (int i = 0; i < kMaxQtfNesting; ++i) qtf += "[ ";
  qtf += "[* x]y";
  const Document doc = ParseQtf(qtf);
  EXPECT_EQ(Describe(doc.paragraphs[0]), (Runs{"xy|"}));
}

// What a description builds is capped, however long it is: 2 MiB of
// paragraph marks, of tiny formatted runs, or of plain text each end in the
// tail paragraph, within the caps.
TEST(QtfHostile, HugeDescriptionsAreCutWithATail) {
  const size_t n = 2u << 20;
  std::string runs;
  while (runs.size() < n) runs += "[* a][/ b]";
  for (const std::string& qtf : {std::string(n, '&'), runs, std::string(n, 'x')}) {
    const Document d = ParseQtf(qtf);
    ASSERT_LE(d.paragraphs.size(), kMaxQtfParagraphs + 2);
    size_t run_count = 0, text = 0;
    for (const Paragraph& p : d.paragraphs) {
      run_count += p.runs.size();
      for (const rich_text::Run& r : p.runs) text += r.text.size();
    }
    EXPECT_LE(run_count, kMaxQtfRuns + 2);
    EXPECT_LE(text, kMaxQtfText + 4);
    ASSERT_EQ(d.paragraphs.back().runs.size(), 1u);
    EXPECT_EQ(d.paragraphs.back().runs[0].text, kQtfTail);
  }
  // Below the caps nothing is cut.
  EXPECT_EQ(PlainText(ParseQtf(std::string(100, '&'))), std::string(100, '\n'));
}

TEST(QtfHostile, EmptyInputIsOneEmptyParagraph) {
  for (const std::string& qtf : {std::string(), std::string("[* ]"), std::string("\0x", 2)}) {
    const Document doc = ParseQtf(qtf);
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    EXPECT_TRUE(doc.paragraphs[0].runs.empty());
    EXPECT_EQ(PlainText(doc), "");
  }
}

TEST(QtfHostile, LongLinkIsStoredOncePerOpening) {
  const std::string url(10000, 'u');
  std::string qtf = "[^" + url + "^ ";
  for (int i = 0; i < 1000; ++i) qtf += "a[* b]";
  qtf += "]";
  const Document doc = ParseQtf(qtf);
  EXPECT_EQ(doc.links.size(), 1u);
  EXPECT_EQ(doc.paragraphs[0].runs.size(), 2000u);
  for (const auto& r : doc.paragraphs[0].runs) EXPECT_EQ(r.format.link, 0);
}

TEST(QtfHostile, FailedOpeningsDoNotRescan) {
  // Every '[' starts a link whose argument would run to the end if brackets
  // were allowed in it; rescanning from each of them would take quadratic time.
  const int n = 200000;
  std::string qtf = "[^", expected = "[^";
  for (int i = 0; i < n; ++i) {
    qtf += "`^[";
    expected += "^[";
  }
  EXPECT_EQ(PlainText(ParseQtf(qtf)), expected);
}

// Picture objects: "@@TYPE:CX&CY(base64)". "iVBORw==" is the first four bytes
// of a PNG signature; the data is kept as given and decoded by the view.
TEST(QtfPicture, ObjectsWithTheirSizeAndData) {
  struct Case {
    const char* qtf;
    const char* plain;  // # stands for the picture's U+FFFC
    int width, height;  // -1: no picture
    size_t bytes;
  };
  const Case cases[] = {
      {"a@@PNG:600&300(iVBORw==)b", "a#b", 600, 300, 4},
      {"@@PNG:0&0(iVBO\nRw==)", "#", 0, 0, 4},  // size left to the picture; line breaks
      {"@@PNG:99999&12(iVBORw==)", "#", kMaxPictureDots, 12, 4},         // capped
      {"@@PNG:10&10(not*base64)x", "#x", 10, 10, 0},                     // damaged: empty box
      {"@@PNG:10&10(iVBORw", "#", 10, 10, 0},                            // unterminated: empty box
      {"@@PNG:10&10 (iVBORw==)", "@@PNG:10\n10 (iVBORw==)", -1, -1, 0},  // not an object
      {"@@:10&10()", "@@:10\n10()", -1, -1, 0},
      {"@@PNG:10(x)", "@@PNG:10(x)", -1, -1, 0},
  };
  for (const Case& c : cases) {
    const Document doc = ParseQtf(c.qtf);
    std::string plain = PlainText(doc);
    for (size_t at; (at = plain.find(kPictureText)) != std::string::npos;)
      plain.replace(at, 3, "#");
    EXPECT_EQ(plain, c.plain) << c.qtf;
    if (c.width < 0) {
      EXPECT_TRUE(doc.pictures.empty()) << c.qtf;
      continue;
    }
    ASSERT_EQ(doc.pictures.size(), 1u) << c.qtf;
    EXPECT_EQ(doc.pictures[0].type, "PNG");
    EXPECT_EQ(doc.pictures[0].width_dots, c.width) << c.qtf;
    EXPECT_EQ(doc.pictures[0].height_dots, c.height) << c.qtf;
    EXPECT_EQ(doc.pictures[0].data.size(), c.bytes) << c.qtf;
  }
  // Inside a format, a picture keeps it (a picture may be a link) in a run of its own.
  const Document linked = ParseQtf("[^u^ @@PNG:6&6(AAAA)@@PNG:6&6(AAAA)]");
  ASSERT_EQ(linked.paragraphs[0].runs.size(), 2u);
  EXPECT_EQ(linked.paragraphs[0].runs[1].format.picture, 1);
  EXPECT_EQ(linked.paragraphs[0].runs[1].format.link, 0);
}

}  // namespace
}  // namespace kestrum::rich_text
