#include "archive/entry_name.h"

#include <cctype>
#include <cstdint>

#include "archive/utf8.h"

namespace kestrum {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Windows maps these names to devices in every folder, with or without an
// extension ("NUL.txt" is the null device too).
bool IsDeviceName(std::string_view component) {
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  if (stem.size() < 3 || stem.size() > 7) return false;  // no device name is shorter or longer
  char upper[8];
  for (size_t i = 0; i < stem.size(); ++i)
    upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(stem[i])));
  stem = std::string_view(upper, stem.size());
  static const char* const kFixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* d : kFixed)
    if (stem == d) return true;
  const bool com_or_lpt = stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0;
  if (stem.size() == 4 && com_or_lpt && stem[3] >= '0' && stem[3] <= '9') return true;
  // COM and LPT followed by a superscript digit (UTF-8 of U+00B9, U+00B2, U+00B3).
  if (stem.size() == 5 && com_or_lpt && static_cast<unsigned char>(stem[3]) == 0xC2) {
    const unsigned char d = static_cast<unsigned char>(stem[4]);
    return d == 0xB9 || d == 0xB2 || d == 0xB3;
  }
  return false;
}

// Code points that change how a name reads rather than what it says: C1
// controls, and the bidirectional controls and marks that make
// "invoice_<RLO>fdp.exe" show as "invoice_exe.pdf".
bool IsSpoofing(uint32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
         (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

// The code point starting at s[i] of well-formed UTF-8; advances i.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  uint32_t cp = lead & (0x3Fu >> more);
  for (int k = 0; k < more && i < s.size(); ++k)
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3Fu);
  return cp;
}

size_t Utf16Units(uint32_t cp) {
  return cp >= 0x10000 ? 2 : 1;
}

}  // namespace

bool IsFolderName(std::string_view name) {
  return !name.empty() && IsSeparator(name.back());
}

std::string UnsafeNameReason(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (!IsValidUtf8(name)) return "the name is not valid UTF-8";
  if (IsSeparator(name[0])) return "the name is an absolute path";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == ':') return "the name holds a drive letter or stream name";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return "the name holds a character that Windows does not allow";
  }
  size_t units = 0, part_units = 0, parts = 0;
  for (size_t i = 0; i < name.size();) {
    const uint32_t cp = NextCodePoint(name, i);
    if (IsSpoofing(cp)) return "the name holds a control character that disguises it";
    units += Utf16Units(cp);
    if (cp == '\\' || cp == '/') {
      part_units = 0;
      continue;
    }
    if (part_units == 0) ++parts;
    part_units += Utf16Units(cp);
    if (part_units > kMaxNamePart) return "a part of the name is longer than 255 characters";
  }
  if (units > kMaxPathUnits) return "the name is longer than 32,000 characters";
  if (parts > kMaxNameParts) return "the name is nested more than 1,024 folders deep";
  if (parts == 0) return "the name is empty";
  // Each part between separators; empty ones come from doubled separators
  // or a name ending in one.
  for (size_t start = 0; start <= name.size();) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (part == "." || part == "..") return "the name climbs out of the destination";
    if (part.back() == '.' || part.back() == ' ')
      return "a part of the name ends in a dot or a space";
    if (IsDeviceName(part)) return "the name is a Windows device name";
  }
  return {};
}

}  // namespace kestrum
