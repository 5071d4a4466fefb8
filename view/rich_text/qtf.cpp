#include "view/rich_text/qtf.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestrum::rich_text {

namespace {

constexpr char kRawText = '\1';
const char kHardSpace[] = "\xC2\xA0";

// Heights of the size indexes in dots, for mapping "+N" to the nearest index.
constexpr int kSizeDots[10] = {50, 67, 83, 100, 133, 167, 200, 233, 300, 400};

int NearestSize(int dots) {
  int best = 0;
  for (int i = 1; i < 10; ++i) {
    if (std::abs(dots - kSizeDots[i]) < std::abs(dots - kSizeDots[best])) best = i;
  }
  return best;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 with '=' padding; bytes up to space (line breaks) are skipped.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>* out) {
  uint32_t bits = 0;
  int count = 0;
  bool padded = false;
  out->reserve(text.size() * 3 / 4);
  for (char c : text) {
    if (uint8_t(c) <= ' ') continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padded) return false;
    bits = (bits << 6) | uint32_t(value);
    if (++count == 4) {
      out->push_back(uint8_t(bits >> 16));
      out->push_back(uint8_t(bits >> 8));
      out->push_back(uint8_t(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return false;
  if (count == 2) out->push_back(uint8_t(bits >> 4));
  if (count == 3) {
    out->push_back(uint8_t(bits >> 10));
    out->push_back(uint8_t(bits >> 2));
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The format codes of one opening bracket, once all of them are understood.
struct Opening {
  Format format;
  std::optional<Align> align;
  std::optional<std::string> face;  // set: a new face ("" for the base face)
  std::optional<std::string> link;  // set: a new link target ("" for none)
};

// The formats in force inside one pair of brackets.
struct Level {
  Format format;
  Align align = Align::kLeft;
};

class QtfParser {
 public:
  explicit QtfParser(std::string_view in) : in_(in.substr(0, in.find('\0'))) {
    doc_.paragraphs.emplace_back();
  }

  Document Parse() {
    while (pos_ < in_.size()) {
      if (doc_.paragraphs.size() > kMaxQtfParagraphs || runs_ > kMaxQtfRuns ||
          text_bytes_ > kMaxQtfText) {
        // A description of millions of paragraphs would take the view
        // gigabytes: the rest is left out, and the tail says so.
        doc_.paragraphs.emplace_back().runs.push_back(Run{kQtfTail, Format()});
        break;
      }
      Step();
    }
    return std::move(doc_);
  }

 private:
  void Step() {
    const char c = in_[pos_];
    switch (c) {
      case '[':
        if (std::optional<Opening> opening = ReadOpening()) {
          Open(std::move(*opening));
        } else {
          Text("[");
          ++pos_;
        }
        return;
      case ']':
        Close();
        ++pos_;
        return;
      case '&':
        doc_.paragraphs.emplace_back().align = level_.align;
        ++pos_;
        return;
      case '`':
        ++pos_;
        if (pos_ == in_.size()) {
          Text("`");
        } else {
          if (uint8_t(in_[pos_]) >= 32) Text(in_.substr(pos_, 1));
          ++pos_;
        }
        return;
      case kRawText: {
        const size_t end = in_.find(kRawText, pos_ + 1);
        const size_t stop = end == std::string_view::npos ? in_.size() : end;
        RawText(in_.substr(pos_ + 1, stop - pos_ - 1));
        pos_ = end == std::string_view::npos ? in_.size() : end + 1;
        return;
      }
      case '_':
        Text(kHardSpace);
        ++pos_;
        return;
      case '-':
        if (Peek(1) == '|') {
          Text("\t");
          pos_ += 2;
        } else {
          Text("-");
          ++pos_;
        }
        return;
      case '@':
        if (Peek(1) == '$' && UnicodeChar()) return;
        if (Peek(1) == '@' && ReadPictureObject()) return;
        Text("@");
        ++pos_;
        return;
      default:
        if (uint8_t(c) >= 32) Text(in_.substr(pos_, 1));
        ++pos_;
        return;
    }
  }

  char Peek(size_t ahead) const { return pos_ + ahead < in_.size() ? in_[pos_ + ahead] : '\0'; }

  // "@$hex;" at pos_: appends the character and moves past it.
  bool UnicodeChar() {
    size_t p = pos_ + 2;
    uint32_t cp = 0;
    int digits = 0;
    for (; p < in_.size() && digits < 6 && HexValue(in_[p]) >= 0; ++p, ++digits) {
      cp = cp * 16 + uint32_t(HexValue(in_[p]));
    }
    if (digits == 0 || p >= in_.size() || in_[p] != ';') return false;
    if (cp < 0x20 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    std::string utf8;
    AppendUtf8(utf8, cp);
    Text(utf8);
    pos_ = p + 1;
    return true;
  }

  // "@@TYPE:CX&CY(base64)" at pos_: a picture object of CX x CY dots.
  // Without the parenthesis it is not one and shows as text; data that is
  // not base64, or runs to the end of the text, gives a picture without
  // data (shown as an empty box).
  bool ReadPictureObject() {
    size_t p = pos_ + 2;
    std::string type;
    while (p < in_.size() && type.size() < 32 && (IsLetter(in_[p]) || IsDigit(in_[p])))
      type += in_[p++];
    if (type.empty() || p >= in_.size() || in_[p++] != ':') return false;
    const std::optional<int> cx = ReadNumber(p);
    if (!cx || p >= in_.size() || in_[p++] != '&') return false;
    const std::optional<int> cy = ReadNumber(p);
    if (!cy || p >= in_.size() || in_[p] != '(') return false;
    PictureObject picture;
    picture.type = std::move(type);
    picture.width_dots = std::min(*cx, kMaxPictureDots);
    picture.height_dots = std::min(*cy, kMaxPictureDots);
    const size_t end = in_.find(')', p);
    const std::string_view data =
        in_.substr(p + 1, (end == std::string_view::npos ? in_.size() : end) - p - 1);
    if (end == std::string_view::npos || !DecodeBase64(data, &picture.data)) picture.data.clear();
    pos_ = end == std::string_view::npos ? in_.size() : end + 1;
    Format format = level_.format;
    format.picture = int(doc_.pictures.size());
    doc_.pictures.push_back(std::move(picture));
    doc_.paragraphs.back().runs.push_back(Run{kPictureText, format});
    ++runs_;  // pictures count against the cap on runs
    return true;
  }

  void RawText(std::string_view raw) {
    std::string kept;
    kept.reserve(raw.size());
    for (char c : raw) {
      if (uint8_t(c) >= 32) kept += c;
    }
    if (!kept.empty()) Text(kept);
  }

  // Adds text in the current format, joining the last run when its format is
  // the same.
  void Text(std::string_view text) {
    std::vector<Run>& runs = doc_.paragraphs.back().runs;
    text_bytes_ += text.size();
    if (!runs.empty() && runs.back().format == level_.format) {
      runs.back().text += text;
    } else {
      runs.push_back(Run{std::string(text), level_.format});
      ++runs_;
    }
  }

  void Open(Opening opening) {
    if (stack_.size() >= size_t(kMaxQtfNesting)) {
      ++ignored_;
      return;
    }
    stack_.push_back(level_);
    level_.format = opening.format;
    if (opening.face)
      level_.format.face = Intern(doc_.faces, face_index_, std::move(*opening.face));
    if (opening.link)
      level_.format.link = Intern(doc_.links, link_index_, std::move(*opening.link));
    if (opening.align) {
      level_.align = *opening.align;
      doc_.paragraphs.back().align = *opening.align;
    }
  }

  void Close() {
    if (ignored_ > 0) {
      --ignored_;
    } else if (!stack_.empty()) {
      level_ = stack_.back();
      stack_.pop_back();
    } else {
      Text("]");
    }
  }

  // Index of name in table, added on first use; -1 for "".
  static int Intern(std::vector<std::string>& table, std::unordered_map<std::string, int>& index,
                    std::string name) {
    if (name.empty()) return -1;
    const auto [it, added] = index.try_emplace(name, int(table.size()));
    if (added) table.push_back(std::move(name));
    return it->second;
  }

  // Reads the codes after the '[' at pos_ up to their closing space. On
  // success pos_ is past the space. The codes never run over an unescaped
  // bracket, so a failed opening never rescans text another one covered.
  std::optional<Opening> ReadOpening() {
    size_t p = pos_ + 1;
    Opening o;
    o.format = level_.format;
    while (p < in_.size()) {
      const char c = in_[p++];
      switch (c) {
        case ' ':
          pos_ = p;
          return o;
        case ';':
          break;
        case '*':
          o.format.bold = true;
          break;
        case '/':
          o.format.italic = true;
          break;
        case '_':
        case 'd':
          o.format.underline = true;
          break;
        case '-':
          o.format.strike = true;
          break;
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
          o.format.size = c - '0';
          break;
        case '+': {
          const std::optional<int> dots = ReadNumber(p);
          if (!dots) return std::nullopt;
          o.format.size = NearestSize(*dots);
          break;
        }
        case '@':
          if (!ReadColor(p, &o.format.color)) return std::nullopt;
          break;
        case '$': {
          std::optional<Color> paper;
          if (!ReadColor(p, &paper)) return std::nullopt;
          break;
        }
        case '!':
          o.face.emplace();
          if (!ReadDelimited(p, '!', &*o.face)) return std::nullopt;
          break;
        case 'A':
          o.face = "Arial";
          break;
        case 'R':
          o.face = "Times New Roman";
          break;
        case 'C':
          o.face = "Courier New";
          break;
        case '^':
          o.link.emplace();
          if (!ReadDelimited(p, '^', &*o.link)) return std::nullopt;
          break;
        case '<':
          o.align = Align::kLeft;
          break;
        case '=':
          o.align = Align::kCenter;
          break;
        case '>':
          o.align = Align::kRight;
          break;
        case '#':
          o.align = Align::kJustify;
          break;
        case ':': {
          std::string label;
          if (!ReadDelimited(p, ':', &label)) return std::nullopt;
          break;
        }
        case 'I': {
          std::string entry;
          if (!ReadDelimited(p, ';', &entry)) return std::nullopt;
          break;
        }
        case '%':
          while (p < in_.size() && (IsLetter(in_[p]) || in_[p] == '-' || in_[p] == '%')) ++p;
          break;
        case 'c':
        case '`':
        case ',':
          break;
        case 's':
        case 'l':
        case 'r':
        case 'i':
        case 'b':
        case 'a':
        case 'H':
          if (p < in_.size() && IsDigit(in_[p])) ReadNumber(p);
          break;
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

  // Decimal digits at p (at least one), capped so they cannot overflow.
  std::optional<int> ReadNumber(size_t& p) const {
    if (p >= in_.size() || !IsDigit(in_[p])) return std::nullopt;
    int value = 0;
    for (; p < in_.size() && IsDigit(in_[p]); ++p) {
      if (value < 100000) value = value * 10 + (in_[p] - '0');
    }
    return value;
  }

  // A colour code at p: a palette character, N for none, (g) or (r.g.b).
  bool ReadColor(size_t& p, std::optional<Color>* out) const {
    if (p >= in_.size()) return false;
    const char c = in_[p];
    if (c == 'N') {
      ++p;
      out->reset();
      return true;
    }
    if (c != '(') {
      Color color;
      if (!QtfColor(c, &color)) return false;
      ++p;
      *out = color;
      return true;
    }
    ++p;
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (true) {
      const std::optional<int> n = ReadNumber(p);
      if (!n || *n > 255 || count == 3) return false;
      parts[count++] = *n;
      if (p >= in_.size()) return false;
      if (in_[p] == ')') break;
      if (in_[p] != '.') return false;
      ++p;
    }
    ++p;
    if (count == 2) return false;
    if (count == 1) parts[1] = parts[2] = parts[0];
    *out = Color{uint8_t(parts[0]), uint8_t(parts[1]), uint8_t(parts[2])};
    return true;
  }

  // The argument after an opening delimiter, up to the closing one; a
  // backquote takes the next character literally. Fails at the end of the
  // text, at a control byte or at an unescaped bracket.
  bool ReadDelimited(size_t& p, char delimiter, std::string* out) const {
    while (p < in_.size()) {
      char c = in_[p++];
      if (c == delimiter) return true;
      if (c == '`') {
        if (p >= in_.size()) return false;
        c = in_[p++];
      } else if (c == '[' || c == ']') {
        return false;
      }
      if (uint8_t(c) < 32) return false;
      *out += c;
    }
    return false;
  }

  std::string_view in_;
  size_t pos_ = 0;
  Document doc_;
  Level level_;
  std::vector<Level> stack_;
  size_t ignored_ = 0;  // brackets open beyond kMaxQtfNesting
  size_t runs_ = 0, text_bytes_ = 0;
  std::unordered_map<std::string, int> face_index_, link_index_;
};

}  // namespace

Document ParseQtf(std::string_view qtf) {
  return QtfParser(qtf).Parse();
}

bool QtfColor(char code, Color* out) {
  struct Entry {
    char code;
    Color color;
  };
  static constexpr Entry kPalette[] = {
      {'0', {0, 0, 0}},       {'1', {192, 192, 192}}, {'2', {255, 255, 255}},
      {'3', {128, 0, 0}},     {'4', {0, 128, 0}},     {'5', {0, 0, 128}},
      {'6', {255, 0, 0}},     {'7', {224, 224, 224}}, {'8', {0, 255, 255}},
      {'9', {255, 255, 0}},   {'k', {0, 0, 0}},       {'l', {192, 192, 192}},
      {'W', {255, 255, 255}}, {'K', {128, 128, 128}}, {'L', {224, 224, 224}},
      {'r', {128, 0, 0}},     {'R', {255, 0, 0}},     {'g', {0, 128, 0}},
      {'G', {0, 255, 0}},     {'b', {0, 0, 128}},     {'B', {0, 0, 255}},
      {'m', {128, 0, 128}},   {'M', {255, 0, 255}},   {'c', {0, 128, 128}},
      {'C', {0, 255, 255}},   {'o', {128, 64, 0}},    {'y', {255, 255, 0}},
      {'Y', {255, 255, 192}},
  };
  for (const Entry& e : kPalette) {
    if (e.code == code) {
      *out = e.color;
      return true;
    }
  }
  return false;
}

std::string QtfEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const bool punct = (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
                       (c >= '{' && c <= '~');
    if (punct) out += '`';
    out += c;
  }
  return out;
}

}  // namespace kestrum::rich_text
