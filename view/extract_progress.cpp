#include "view/extract_progress.h"

#include <cstdint>

namespace kestrum {

// A file that has grown past its recorded size shows 100, not a wrapped-
// around small number.
int FilePercent(uint64_t written, uint64_t size) {
  const uint64_t divisor = size ? size : 100;
  if (written >= divisor) return 100;
  // Exact while the product fits; sizes beyond 2^57 bytes go through division.
  if (written <= UINT64_MAX / 100) return int(written * 100 / divisor);
  const uint64_t percent = written / (divisor / 100);
  return percent > 99 ? 99 : int(percent);
}

int BarPosition(double ratio) {
  if (!(ratio > 0)) return 0;
  if (ratio >= 1) return 100;
  return int(ratio * 100);
}

}  // namespace kestrum
