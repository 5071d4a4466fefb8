// The formatted text the window shows: paragraphs of runs, each run a piece
// of UTF-8 text with one character format. Portable; the Win32 view renders it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrum::rich_text {

enum class Align { kLeft, kCenter, kRight, kJustify };

struct Color {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Color& o) const { return !(*this == o); }
};

// Text size index of the markup, 0 (smallest) to 9; kDefaultSize leaves the
// view's base font size.
constexpr int kDefaultSize = -1;

struct Format {
  bool bold = false, italic = false, underline = false, strike = false;
  int size = kDefaultSize;
  std::optional<Color> color;  // none: the view's text colour
  int face = -1;               // index into Document::faces, -1 for the base face
  int link = -1;               // index into Document::links, -1 when not a link
  int picture = -1;            // index into Document::pictures: the run is that picture

  bool operator==(const Format& o) const {
    return bold == o.bold && italic == o.italic && underline == o.underline && strike == o.strike &&
           size == o.size && color == o.color && face == o.face && link == o.link &&
           picture == o.picture;
  }
  bool operator!=(const Format& o) const { return !(*this == o); }
};

// A picture object of the markup: its type name ("PNG"), its data as given
// (not checked here: the view decodes it, and shows an empty box when it
// cannot) and its size on screen in dots (1/600 inch); 0 where the markup
// leaves the size to the picture.
struct PictureObject {
  std::string type;
  std::vector<uint8_t> data;
  int width_dots = 0, height_dots = 0;
};

// A picture's run holds the object replacement character U+FFFC.
inline constexpr char kPictureText[] = "\xEF\xBF\xBC";

struct Run {
  std::string text;  // never empty
  Format format;
};

struct Paragraph {
  Align align = Align::kLeft;
  std::vector<Run> runs;
};

// Face names and link targets are kept once per document and referred to by
// index, so a long link target is not copied into every run it covers.
struct Document {
  std::vector<Paragraph> paragraphs;  // at least one
  std::vector<std::string> faces;
  std::vector<std::string> links;
  std::vector<PictureObject> pictures;

  // The run's link target or face name; empty when it has none.
  const std::string& LinkOf(const Run& run) const;
  const std::string& FaceOf(const Run& run) const;
};

// The text alone, paragraphs separated by '\n'.
std::string PlainText(const Document& doc);

}  // namespace kestrum::rich_text
