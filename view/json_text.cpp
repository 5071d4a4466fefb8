#include "view/json_text.h"

#include <cstdio>

#include "archive/utf8.h"

namespace kestrum {

std::string JsonString(std::string_view text) {
  const std::string clean = IsValidUtf8(text) ? std::string(text) : Utf16ToUtf8(Utf8ToUtf16(text));
  std::string out = "\"";
  for (unsigned char c : clean) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace kestrum
