// The numbers the window shows while extracting.
#pragma once

#include <cstdint>

namespace kestrum {

// Percentage of one file: written * 100 / size (100 as the divisor for an
// empty file), never above 100.
int FilePercent(uint64_t written, uint64_t size);

// The progress bar's position 0..100 for an overall ratio.
int BarPosition(double ratio);

}  // namespace kestrum
