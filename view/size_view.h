// Byte counts as the window shows them: a plain number below 1024, else Kb, Mb
// or Gb with at most two decimals ("1.5 Kb", "25.6 Mb", "1024 Kb").
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace kestrum {

// The null value of a 64-bit cell; it formats as an empty text.
constexpr int64_t kNullSize = std::numeric_limits<int64_t>::min();

struct SizeView {
  std::string Format(int64_t n) const;
};

}  // namespace kestrum
