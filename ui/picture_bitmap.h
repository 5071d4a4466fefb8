// Pictures (B,G,R,A rows from the top, colour premultiplied by alpha) as GDI
// objects: bitmaps drawn with their transparency, and window icons.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace kestrum::ui {

// A 32-bit top-down DIB section holding the pixels; nullptr for an empty picture.
HBITMAP MakeBitmap(int width, int height, const std::vector<uint8_t>& bgra);

// The same picture drawn into a new bitmap of w x h (smoothly scaled).
HBITMAP MakeScaledBitmap(int width, int height, const std::vector<uint8_t>& bgra, int w, int h);

// An icon from premultiplied pixels (icons want straight alpha).
HICON MakeIcon(int width, int height, const std::vector<uint8_t>& bgra);

// Draws a bitmap made by MakeBitmap at (x, y) scaled to w x h, blending its alpha.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int w, int h);

// A picture kept as a bitmap, made on first use.
class BitmapPicture {
 public:
  BitmapPicture() = default;
  BitmapPicture(const BitmapPicture&) = delete;
  BitmapPicture& operator=(const BitmapPicture&) = delete;
  ~BitmapPicture() { Reset(); }
  void Set(int width, int height, const std::vector<uint8_t>& bgra) {
    Reset();
    width_ = width;
    height_ = height;
    bitmap_ = MakeBitmap(width, height, bgra);
  }
  void Reset() {
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = height_ = 0;
  }
  HBITMAP get() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HBITMAP bitmap_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace kestrum::ui
