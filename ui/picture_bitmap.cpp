#include "ui/picture_bitmap.h"

#include <algorithm>
#include <cstring>

#include "ui/gdi_scope.h"

namespace kestrum::ui {

HBITMAP MakeBitmap(int width, int height, const std::vector<uint8_t>& bgra) {
  if (width <= 0 || height <= 0 || bgra.size() < size_t(width) * size_t(height) * 4) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) std::memcpy(bits, bgra.data(), size_t(width) * size_t(height) * 4);
  return bitmap;
}

HBITMAP MakeScaledBitmap(int width, int height, const std::vector<uint8_t>& bgra, int w, int h) {
  if (w == width && h == height) return MakeBitmap(width, height, bgra);
  GdiObject<HBITMAP> source(MakeBitmap(width, height, bgra));
  HBITMAP target = MakeBitmap(w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 4, 0));
  if (!source || !target) return target;
  MemoryDC dc(nullptr);
  Selection selected(dc, target);
  DrawBitmap(dc, source, 0, 0, w, h);
  return target;
}

HICON MakeIcon(int width, int height, const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> straight = bgra;
  for (size_t i = 0; i + 3 < straight.size(); i += 4) {
    const unsigned a = straight[i + 3];
    for (int c = 0; c < 3; ++c)
      straight[i + size_t(c)] = a ? uint8_t(std::min(255u, straight[i + size_t(c)] * 255u / a)) : 0;
  }
  GdiObject<HBITMAP> color(MakeBitmap(width, height, straight));
  if (!color) return nullptr;
  std::vector<uint8_t> mask_bits(size_t((width + 15) / 16 * 2) * size_t(height), 0);
  GdiObject<HBITMAP> mask(CreateBitmap(width, height, 1, 1, mask_bits.data()));
  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  return CreateIconIndirect(&info);
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int w, int h) {
  if (!bitmap || w <= 0 || h <= 0) return;
  BITMAP info;
  GetObjectW(bitmap, sizeof info, &info);
  MemoryDC source(dc);
  Selection selected(source, bitmap);
  SetStretchBltMode(dc, HALFTONE);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  // gdi32's own entry: AlphaBlend lives in msimg32, which is no KnownDLL.
  GdiAlphaBlend(dc, x, y, w, h, source, 0, 0, info.bmWidth, info.bmHeight, blend);
}

}  // namespace kestrum::ui
