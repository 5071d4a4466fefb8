// The QTF rich-text markup of the program's texts and archive descriptions,
// parsed into the portable document model.
//
// What is understood:
//   [codes text]   a format for the enclosed text; the codes end at a single
//                  space, ';' separates them. Nesting is unlimited in the
//                  input; formats deeper than kMaxQtfNesting are not applied
//                  (their brackets still pair).
//     *  /  _  -   bold, italic, underline, strikeout (d: dashed underline,
//                  shown as underline)
//     0 .. 9       text size index;  +N  a height in dots (1/600 inch),
//                  taken as the nearest size index
//     @C  $C       text colour, background colour (background is ignored);
//                  C is a digit or letter of the palette (see QtfColor), N for
//                  "none", (g) a grey level or (r.g.b)
//     !face!       font face;  A R C  the sans-serif, serif, monospace faces
//     ^url^        link target
//     < = > #      paragraph alignment: left, centre, right, justify
//     skipped:     %LANG language, :label:, Itext; index entry, c ` ,
//                  (capitals, superscript, subscript), s l r i b a H N
//                  (style and paragraph spacing with their numbers)
//   &              paragraph break
//   _              non-breaking space;  -|  tab;  @$hex;  a Unicode character
//   @@T:CX&CY(B)   a picture object of type T (PNG) shown CX x CY dots
//                  (1/600 inch, at most kMaxPictureDots; 0 for the picture's
//                  own size), its data B in base64
//   `x             x taken literally; \1...\1 a run of literal text
//   bytes 2..31    ignored; byte 0 ends the text
// Anything else, including an opening bracket whose codes are not all
// understood and a closing bracket with no opening, is shown as text.
// Parsing takes time and memory linear in the input and never recurses, and
// what it builds is capped: beyond kMaxQtfParagraphs paragraphs, kMaxQtfRuns
// runs or kMaxQtfText bytes of text the rest is not shown, and the document
// ends in a paragraph of its own holding kQtfTail ("…").
#pragma once

#include <string>
#include <string_view>

#include "view/rich_text/document.h"

namespace kestrum::rich_text {

constexpr int kMaxQtfNesting = 64;
constexpr int kMaxPictureDots = 12000;  // 20 inches
constexpr size_t kMaxQtfParagraphs = 10000;
constexpr size_t kMaxQtfRuns = 50000;
constexpr size_t kMaxQtfText = 1u << 20;
constexpr const char* kQtfTail = "\xE2\x80\xA6";

Document ParseQtf(std::string_view qtf);

// The palette of the markup's one-character colour codes:
//   0 black      (0,0,0)        k black
//   1 light grey (192,192,192)  l light grey   K grey       (128,128,128)
//   2 white      (255,255,255)  W white        L white grey (224,224,224)
//   3 red        (128,0,0)      r red          R light red  (255,0,0)
//   4 green      (0,128,0)      g green        G light green (0,255,0)
//   5 blue       (0,0,128)      b blue         B light blue (0,0,255)
//   6 light red  (255,0,0)      m magenta (128,0,128)  M light magenta (255,0,255)
//   7 white grey (224,224,224)  c cyan (0,128,128)     C light cyan (0,255,255)
//   8 light cyan (0,255,255)    o brown (128,64,0)
//   9 yellow     (255,255,0)    y yellow       Y light yellow (255,255,192)
// False for any other character.
bool QtfColor(char code, Color* out);

// text with every ASCII punctuation character preceded by a backquote, so
// that it shows literally inside QTF.
std::string QtfEscape(std::string_view text);

}  // namespace kestrum::rich_text
