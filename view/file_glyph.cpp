#include "view/file_glyph.h"

namespace kestrum {

std::vector<uint8_t> FileGlyph() {
  // '#' outline, '.' paper, '+' the fold, ' ' transparent.
  static const char* const kRows[kFileGlyphHeight] = {
      "                ", "  #########     ", "  #.......##    ", "  #.......#+#   ",
      "  #.......#++#  ", "  #.......####  ", "  #..........#  ", "  #.######...#  ",
      "  #..........#  ", "  #.######...#  ", "  #..........#  ", "  #.######...#  ",
      "  #..........#  ", "  #.#####....#  ", "  #..........#  ", "  ############  ",
      "                ", "                "};
  std::vector<uint8_t> pixels(size_t(kFileGlyphWidth) * kFileGlyphHeight * 4, 0);
  for (int y = 0; y < kFileGlyphHeight; ++y) {
    for (int x = 0; x < kFileGlyphWidth; ++x) {
      uint8_t* p = &pixels[(size_t(y) * kFileGlyphWidth + size_t(x)) * 4];
      uint8_t v;
      switch (kRows[y][x]) {
        case '#':
          v = 110;
          break;
        case '.':
          v = 255;
          break;
        case '+':
          v = 210;
          break;
        default:
          continue;
      }
      p[0] = p[1] = p[2] = v;
      p[3] = 255;
    }
  }
  return pixels;
}

}  // namespace kestrum
