// The colour band along the bottom edge of the main window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrum {

constexpr int kStripHeight = 50;

struct Rgb {
  uint8_t r, g, b;
};

// The colour of row y (0 at the top) of the band.
Rgb StripRow(int y);

// A width x 50 opaque image, pixels B,G,R,A, rows from the top.
std::vector<uint8_t> MakeStrip(int width);

}  // namespace kestrum
