#include "view/rich_text/rtf.h"

#include <cstdint>
#include <map>

namespace kestrum::rich_text {

namespace {

constexpr int kSizePoints[10] = {6, 8, 10, 12, 16, 20, 24, 28, 36, 48};
constexpr int kBasePoints = 10;
constexpr uint32_t kReplacement = 0xFFFD;

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
  for (size_t p = 0; p < doc.paragraphs.size(); ++p) {
    if (p > 0) {
      body += "\\par";
      ++position;
    }
    body += "\\pard";
    body += AlignmentWord(doc.paragraphs[p].align);
    for (const Run& run : doc.paragraphs[p].runs) {
      const Format& f = run.format;
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
