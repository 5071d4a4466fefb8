#include "ui/font_fallback.h"

#include <windows.h>

#include <cwchar>
#include <map>
#include <vector>

#include "platform/win_text.h"
#include "ui/gdi_scope.h"
#include "view/rich_text/fallback_faces.h"

namespace kestrum::ui {

namespace {

constexpr wchar_t kSystemLink[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

// The faces of the face's SystemLink entries ("MSYH.TTC,Microsoft YaHei UI,128,96"):
// the second field of each; entries that name only a file are skipped.
std::vector<std::string> LinkedFaces(const std::string& face) {
  std::vector<std::string> faces;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSystemLink, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return faces;
  DWORD type = 0, bytes = 0;
  const std::wstring name = win::Wide(face);
  std::vector<wchar_t> value;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ && bytes > 0) {
    value.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                         &bytes) != ERROR_SUCCESS)
      value.clear();
  }
  RegCloseKey(key);
  for (const wchar_t* entry = value.data(); entry && *entry; entry += wcslen(entry) + 1) {
    const std::wstring line(entry);
    const size_t first = line.find(L',');
    if (first == std::wstring::npos) continue;
    const size_t second = line.find(L',', first + 1);
    std::wstring linked = line.substr(
        first + 1, second == std::wstring::npos ? std::wstring::npos : second - first - 1);
    while (!linked.empty() && linked.front() == L' ') linked.erase(0, 1);
    if (!linked.empty()) faces.push_back(win::Utf8(linked));
  }
  return faces;
}

// Which letters a face has, asked of GDI with the face's own font (no linking).
class GlyphCoverage {
 public:
  explicit GlyphCoverage(const std::string& base_face) : base_face_(base_face), dc_(nullptr) {}
  ~GlyphCoverage() {
    for (auto& entry : fonts_) DeleteObject(entry.second);
  }
  GlyphCoverage(const GlyphCoverage&) = delete;
  GlyphCoverage& operator=(const GlyphCoverage&) = delete;

  std::vector<bool> operator()(const std::string& face, const std::u16string& text) {
    std::vector<bool> drawn(text.size(), false);
    if (text.empty()) return drawn;
    Selection selected(dc_, FontOf(face.empty() ? base_face_ : face));
    std::vector<WORD> glyphs(text.size());
    const std::wstring wide(text.begin(), text.end());
    if (GetGlyphIndicesW(dc_, wide.c_str(), int(wide.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
      return drawn;
    for (size_t i = 0; i < text.size(); ++i) drawn[i] = glyphs[i] != 0xFFFF;
    return drawn;
  }

 private:
  HFONT FontOf(const std::string& face) {
    HFONT& font = fonts_[face];
    if (!font) {
      LOGFONTW lf = {};
      lf.lfHeight = -16;
      lf.lfCharSet = DEFAULT_CHARSET;
      lstrcpynW(lf.lfFaceName, win::Wide(face).c_str(), LF_FACESIZE);
      font = CreateFontIndirectW(&lf);
    }
    return font;
  }

  std::string base_face_;
  MemoryDC dc_;
  std::map<std::string, HFONT> fonts_;
};

}  // namespace

void UseLinkedFaces(rich_text::Document& doc, const std::string& base_face) {
  const std::vector<std::string> linked = LinkedFaces(base_face);
  if (linked.empty()) return;
  GlyphCoverage coverage(base_face);
  rich_text::UseFallbackFaces(
      doc, linked,
      [&](const std::string& face, const std::u16string& text) { return coverage(face, text); });
}

}  // namespace kestrum::ui
