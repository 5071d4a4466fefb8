#include "view/list_columns.h"

#include <algorithm>

namespace kestrum {

std::array<int, 4> FitListColumns(int width, const std::array<int, 4>& needs) {
  std::array<int, 4> widths = {};
  int numbers = 0;
  for (int i = 1; i < 4; ++i) {
    widths[i] = std::max(width / 4, needs[i]);
    numbers += widths[i];
  }
  int short_by = needs[0] - (width - numbers);
  for (int i = 3; i >= 1 && short_by > 0; --i) {
    const int give = std::min(short_by, widths[i] - needs[i]);
    widths[i] -= give;
    numbers -= give;
    short_by -= give;
  }
  widths[0] = std::max(width - numbers, needs[0]);
  return widths;
}

}  // namespace kestrum
