// UTF-8 (the program's text form) to and from the wide strings of Win32.
#pragma once

#include <string>
#include <string_view>

#include "archive/utf8.h"

namespace kestrum::win {

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string w = Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

inline std::string Utf8(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace kestrum::win
