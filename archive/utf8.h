// UTF-8 helpers shared by the core and its users.
#pragma once

#include <string>
#include <string_view>

namespace kestrum {

// True when s is well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool IsValidUtf8(std::string_view s);

// UTF-8 to UTF-16 for wide system calls; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(const std::u16string& s);

}  // namespace kestrum
