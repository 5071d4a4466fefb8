#include "view/make_strip.h"

namespace kestrum {

Rgb StripRow(int y) {
  if (y == 0) return {100, 114, 71};
  if (y == 1) return {120, 135, 84};
  const double d = 0.708 * y;
  return {static_cast<uint8_t>(129 - d), static_cast<uint8_t>(145 - d),
          static_cast<uint8_t>(90 - d)};
}

std::vector<uint8_t> MakeStrip(int width) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * kStripHeight * 4);
  for (int y = 0; y < kStripHeight; ++y) {
    const Rgb c = StripRow(y);
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
      p[3] = 255;
    }
  }
  return pixels;
}

}  // namespace kestrum
