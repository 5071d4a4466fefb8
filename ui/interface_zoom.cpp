#include "ui/interface_zoom.h"

#include <algorithm>

#include "ui/gdi_scope.h"

namespace kestrum::ui {

namespace {

// Average character width and line height of a font.
SIZE FontCell(HFONT font) {
  ScreenDC dc;
  Selection selected(dc, font);
  const wchar_t sample[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  SIZE size = {};
  GetTextExtentPoint32W(dc, sample, 52, &size);
  return {(size.cx + 26) / 52, size.cy};
}

}  // namespace

LayoutZoom InterfaceZoom(const LOGFONTW& font, int dpi) {
  const GdiObject<HFONT> current(CreateFontIndirectW(&font));
  const GdiObject<HFONT> design(
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
  const SIZE now = FontCell(current), then = FontCell(design);
  const int scale_x = std::max(int(now.cx) * 96, int(then.cx) * dpi);
  const int scale_y = std::max(int(now.cy) * 96, int(then.cy) * dpi);
  return LayoutZoom{scale_x, int(then.cx) * 96, scale_y, int(then.cy) * 96};
}

}  // namespace kestrum::ui
