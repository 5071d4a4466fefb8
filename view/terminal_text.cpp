#include "view/terminal_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace kestrum {
namespace {

// Length of the well-formed UTF-8 sequence at s[i] and its code point; 0 when
// the bytes there are not one (overlong, surrogate, cut short, too large).
size_t DecodeAt(std::string_view s, size_t i, uint32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  size_t n;
  uint32_t min;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, cp = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, cp = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, cp = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

bool NeedsEscape(uint32_t cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E ||
         cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  // Printable ASCII, as most names are, stands as it is.
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  char escape[12];
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    const size_t n = DecodeAt(text, i, cp);
    if (n == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
      out += escape;
      ++i;
      continue;
    }
    if (!NeedsEscape(cp)) {
      out.append(text, i, n);
    } else if (cp < 0x80) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(cp));
      out += escape;
    } else {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
      out += escape;
    }
    i += n;
  }
  return out;
}

void InPieces(const std::string& text, const std::function<void(const std::string&)>& use) {
  constexpr size_t kPiece = 64 * 1024;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.size(), at + kPiece);
    // Cut before a character's lead byte, so no sequence is split.
    for (int back = 0; back < 3 && end < text.size() && end > at + 1 &&
                       (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
         ++back)
      --end;
    use(text.substr(at, end - at));
    at = end;
  }
}

}  // namespace kestrum
