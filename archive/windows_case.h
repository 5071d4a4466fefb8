// Windows compares file names without regard to case: it upper-cases each
// UTF-16 unit with its own table and compares the results. Two names that
// differ only in case are one file there, so names are compared the same way.
#pragma once

#include <string>
#include <string_view>

namespace kestrum {

// The upper case of one UTF-16 unit as Windows forms it for file names: Latin
// with its extensions, Greek, Cyrillic, Armenian, old Georgian, Coptic,
// Glagolitic, Roman numerals, circled and full-width letters. Any other unit
// is its own upper case.
char16_t WindowsUpperCase(char16_t c);

// `utf8` as UTF-16, every unit upper-cased as above.
std::u16string WindowsFolded(std::string_view utf8);

}  // namespace kestrum
