#include "archive/entry_name.h"

#include <cctype>
#include <vector>

#include "archive/utf8.h"

namespace kestrum {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Windows maps these names to devices in every folder, with or without an
// extension ("NUL.txt" is the null device too).
bool IsDeviceName(const std::string& component) {
  std::string stem = Upper(component.substr(0, component.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kFixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* d : kFixed)
    if (stem == d) return true;
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      stem[3] >= '0' && stem[3] <= '9')
    return true;
  // COM and LPT followed by a superscript digit (UTF-8 of U+00B9, U+00B2, U+00B3).
  if (stem.size() == 5 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      static_cast<unsigned char>(stem[3]) == 0xC2) {
    const unsigned char d = static_cast<unsigned char>(stem[4]);
    return d == 0xB9 || d == 0xB2 || d == 0xB3;
  }
  return false;
}

}  // namespace

std::string UnsafeNameReason(const std::string& name) {
  if (name.empty()) return "the name is empty";
  if (!IsValidUtf8(name)) return "the name is not valid UTF-8";
  if (IsSeparator(name[0])) return "the name is an absolute path";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == ':') return "the name holds a drive letter or stream name";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return "the name holds a character that Windows does not allow";
  }
  std::vector<std::string> components(1);
  for (char c : name) {
    if (IsSeparator(c))
      components.emplace_back();
    else
      components.back().push_back(c);
  }
  for (size_t i = 0; i < components.size(); ++i) {
    const std::string& part = components[i];
    if (part.empty()) continue;  // doubled separators, or a name ending in one
    if (part == "." || part == "..") return "the name climbs out of the destination";
    if (part.back() == '.' || part.back() == ' ')
      return "a part of the name ends in a dot or a space";
    if (IsDeviceName(part)) return "the name is a Windows device name";
  }
  return {};
}

}  // namespace kestrum
