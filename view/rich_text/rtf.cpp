#include "view/rich_text/rtf.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace kestrum::rich_text {

namespace {

constexpr int kSizePoints[10] = {6, 8, 10, 12, 16, 20, 24, 28, 36, 48};
constexpr int kBasePoints = 10;
constexpr uint32_t kReplacement = 0xFFFD;
constexpr int kBoxSide = 48;  // at most, in pixels, of an empty box as written

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The code point at s[i], moving i past it; an invalid byte is U+FFFD.
uint32_t NextCodePoint(const std::string& s, size_t& i) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  size_t length = 0;
  uint32_t cp = 0, min = 0;
  if (b < 0x80) {
    ++i;
    return b;
  } else if (b >= 0xC2 && b <= 0xDF) {
    length = 2, cp = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, cp = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, cp = b & 0x07, min = 0x10000;
  }
  if (length == 0 || i + length > s.size()) {
    ++i;
    return kReplacement;
  }
  for (size_t k = 1; k < length; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[i + k]);
    if (!IsContinuation(c)) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += length;
  return cp;
}

void AppendUnicode(std::string& out, uint32_t unit) {
  // RTF takes the UTF-16 unit as a signed 16-bit number; "?" is the fallback
  // that readers which know \u skip.
  out += "\\u";
  out += std::to_string(static_cast<int16_t>(static_cast<uint16_t>(unit)));
  out += '?';
}

// Appends text as RTF; returns the number of UTF-16 positions it takes.
long AppendText(std::string& out, const std::string& text) {
  long positions = 0;
  for (size_t i = 0; i < text.size();) {
    const uint32_t cp = NextCodePoint(text, i);
    if (cp == '\t') {
      out += "\\tab ";
    } else if (cp < 0x20 || cp == 0x7F) {
      continue;
    } else if (cp == '\\' || cp == '{' || cp == '}') {
      out += '\\';
      out += char(cp);
    } else if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x10000) {
      AppendUnicode(out, cp);
    } else {
      AppendUnicode(out, 0xD800 + ((cp - 0x10000) >> 10));
      AppendUnicode(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
      ++positions;
    }
    ++positions;
  }
  return positions;
}

// A face name for the font table, where ';' would end the entry.
std::string FontEntry(int index, const std::string& face) {
  std::string clean;
  for (char c : face) {
    if (c != ';') clean += c;
  }
  std::string out = "{\\f" + std::to_string(index) + "\\fnil ";
  AppendText(out, clean);
  return out + ";}";
}

const char* AlignmentWord(Align align) {
  switch (align) {
    case Align::kCenter:
      return "\\qc";
    case Align::kRight:
      return "\\qr";
    case Align::kJustify:
      return "\\qj";
    case Align::kLeft:
      break;
  }
  return "\\ql";
}

class ColorTable {
 public:
  int IndexOf(Color c) {
    const uint32_t key = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    const auto [it, added] = index_.try_emplace(key, int(colors_.size()) + 1);
    if (added) colors_.push_back(c);
    return it->second;
  }
  // Entry 0 is the reader's automatic colour; ours start at 1.
  std::string Rtf() const {
    std::string out = "{\\colortbl;";
    for (const Color& c : colors_) {
      out += "\\red" + std::to_string(c.r) + "\\green" + std::to_string(c.g) + "\\blue" +
             std::to_string(c.b) + ";";
    }
    return out + "}";
  }

 private:
  std::vector<Color> colors_;
  std::map<uint32_t, int> index_;
};

// The opening of a run's group, up to the space before its text. \plain
// first: the control's own default format may be bold (it is under Wine).
std::string GroupStart(const Format& f, Color color, const RtfStyle& style, ColorTable& colors) {
  const int half_points = (SizeTwips(f.size, style.base_twips) + 5) / 10;
  std::string out = "{\\plain\\f" + std::to_string(f.face + 1) + "\\fs" +
                    std::to_string(half_points > 0 ? half_points : 1) + "\\cf" +
                    std::to_string(colors.IndexOf(color));
  if (f.bold) out += "\\b";
  if (f.italic) out += "\\i";
  if (f.underline || f.link >= 0) out += "\\ul";
  if (f.strike) out += "\\strike";
  return out + ' ';
}

// The byte layout of a packed DIB, as \dibitmap0 takes it in hex: a
// BITMAPINFOHEADER (u32 size 40, i32 width, i32 height (positive: rows from
// the bottom), u16 planes 1, u16 bits 24, u32 compression 0, u32 image size,
// i32 x and y pixels per metre, u32 colours used and important, all 0 here;
// little-endian), then the rows of B, G, R bytes, each padded to 4 bytes.
void AppendDib(std::string& out, int width, int height, const std::vector<uint8_t>& bgr) {
  static const char kHex[] = "0123456789abcdef";
  const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> header(40, 0);
  const auto put = [&](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) header[at + size_t(i)] = uint8_t(value >> (8 * i));
  };
  put(0, 40, 4);
  put(4, uint32_t(width), 4);
  put(8, uint32_t(height), 4);
  put(12, 1, 2);
  put(14, 24, 2);
  put(20, uint32_t(stride * size_t(height)), 4);
  out.reserve(out.size() + (40 + stride * size_t(height)) * 2);
  for (uint8_t b : header) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* row = bgr.data() + size_t(y) * size_t(width) * 3;
    for (size_t i = 0; i < stride; ++i) {
      const uint8_t b = i < size_t(width) * 3 ? row[i] : 0;
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
}

// The picture averaged down (or repeated up) to width x height and laid on
// the paper colour: B, G, R rows from the top.
std::vector<uint8_t> ScaleOnPaper(const DecodedPicture& in, int width, int height, Color paper) {
  std::vector<uint8_t> out(size_t(width) * size_t(height) * 3);
  for (int y = 0; y < height; ++y) {
    const int y0 = int(int64_t(y) * in.height / height);
    const int y1 = std::max(y0 + 1, int(int64_t(y + 1) * in.height / height));
    for (int x = 0; x < width; ++x) {
      const int x0 = int(int64_t(x) * in.width / width);
      const int x1 = std::max(x0 + 1, int(int64_t(x + 1) * in.width / width));
      uint64_t sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        const uint8_t* p = in.bgra.data() + (size_t(sy) * size_t(in.width) + size_t(x0)) * 4;
        for (int sx = x0; sx < x1; ++sx, p += 4) {
          // Weighted by alpha, so transparent pixels lend no colour.
          for (int c = 0; c < 3; ++c) sum[c] += uint64_t(p[c]) * p[3];
          sum[3] += p[3];
        }
      }
      const uint64_t n = uint64_t(y1 - y0) * uint64_t(x1 - x0);
      const uint8_t paper_bgr[3] = {paper.b, paper.g, paper.r};
      uint8_t* o = out.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
      for (int c = 0; c < 3; ++c)
        o[c] =
            uint8_t((sum[c] + uint64_t(paper_bgr[c]) * (n * 255 - sum[3]) + n * 127) / (n * 255));
    }
  }
  return out;
}

// An empty box: a grey frame on the paper colour.
std::vector<uint8_t> EmptyBox(int width, int height, Color paper) {
  std::vector<uint8_t> out(size_t(width) * size_t(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      uint8_t* o = out.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
      o[0] = frame ? 128 : paper.b;
      o[1] = frame ? 128 : paper.g;
      o[2] = frame ? 128 : paper.r;
    }
  }
  return out;
}

// The \pict group of one picture; budget is what is left of kMaxPicturePixels.
std::string PictureGroup(const PictureObject& picture, const RtfStyle& style, long& budget) {
  DecodedPicture decoded;
  const bool ok = style.decode_picture && style.decode_picture(picture, &decoded) &&
                  decoded.width > 0 && decoded.height > 0 &&
                  decoded.bgra.size() == size_t(decoded.width) * size_t(decoded.height) * 4;
  const int dpi = style.dpi > 0 ? style.dpi : 96;
  // The size on screen: the markup's, else the picture's own at 96 DPI.
  const auto shown = [&](int dots, int own) {
    const int64_t pixels = dots > 0 ? int64_t(dots) * dpi / 600 : int64_t(own) * dpi / 96;
    return int(std::clamp<int64_t>(pixels, 1, kMaxPictureSide));
  };
  const int width = shown(picture.width_dots, ok ? decoded.width : 32);
  const int height = shown(picture.height_dots, ok ? decoded.height : 32);
  // Pixels written: a decoded picture at its shown size while the budget
  // lasts; a box small (the control stretches it), so a short description
  // cannot make a large text.
  const long area = long(width) * height;
  const bool within = ok && area <= budget;
  budget -= within ? area : std::min(budget, long(kBoxSide) * kBoxSide);
  const int out_w = within ? width : std::min(width, budget > 0 ? kBoxSide : 3);
  const int out_h = within ? height : std::min(height, budget > 0 ? kBoxSide : 3);
  const std::vector<uint8_t> pixels = ok && within
                                          ? ScaleOnPaper(decoded, out_w, out_h, style.paper)
                                          : EmptyBox(out_w, out_h, style.paper);
  std::string out = "{\\pict\\dibitmap0\\picw" + std::to_string(out_w) + "\\pich" +
                    std::to_string(out_h) + "\\picwgoal" + std::to_string(width * 1440 / dpi) +
                    "\\pichgoal" + std::to_string(height * 1440 / dpi) +
                    "\\wbmbitspixel24\\wbmplanes1 ";
  AppendDib(out, out_w, out_h, pixels);
  return out + "}";
}

}  // namespace

int SizeTwips(int size, int base_twips) {
  if (size < 0 || size > 9) return base_twips;
  return (base_twips * kSizePoints[size] + kBasePoints / 2) / kBasePoints;
}

Rtf ToRtf(const Document& doc, const RtfStyle& style) {
  Rtf out;
  ColorTable colors;
  std::string body;
  long position = 0;
  long picture_budget = kMaxPicturePixels;
  for (size_t p = 0; p < doc.paragraphs.size(); ++p) {
    if (p > 0) {
      body += "\\par";
      ++position;
    }
    body += "\\pard";
    body += AlignmentWord(doc.paragraphs[p].align);
    for (const Run& run : doc.paragraphs[p].runs) {
      const Format& f = run.format;
      if (f.picture >= 0 && size_t(f.picture) < doc.pictures.size()) {
        body += PictureGroup(doc.pictures[size_t(f.picture)], style, picture_budget);
        ++position;
        continue;
      }
      const bool link = f.link >= 0;
      body += GroupStart(f, link ? style.link : f.color ? *f.color : style.text, style, colors);
      const long start = position;
      position += AppendText(body, run.text);
      body += '}';
      if (link && position > start) out.links.push_back({start, position, f.link, f.size});
    }
  }

  out.length = position;
  out.text = "{\\rtf1\\ansi\\deff0\\uc1{\\fonttbl" + FontEntry(0, style.face);
  for (size_t i = 0; i < doc.faces.size(); ++i) out.text += FontEntry(int(i) + 1, doc.faces[i]);
  out.text += "}" + colors.Rtf() + body + "}";
  return out;
}

}  // namespace kestrum::rich_text
