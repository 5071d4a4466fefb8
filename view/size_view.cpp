#include "view/size_view.h"

#include <cmath>

namespace kestrum {
namespace {

// Fixed notation with two decimals, halves rounded up, trailing zeros and a
// bare point dropped, "." as the separator.
std::string TwoDecimals(double value) {
  const int64_t hundredths = static_cast<int64_t>(std::floor(value * 100.0 + 0.5));
  std::string out = std::to_string(hundredths / 100);
  const int frac = static_cast<int>(hundredths % 100);
  if (frac != 0) {
    out += '.';
    out += static_cast<char>('0' + frac / 10);
    if (frac % 10 != 0) out += static_cast<char>('0' + frac % 10);
  }
  return out;
}

}  // namespace

std::string SizeView::Format(int64_t n) const {
  if (n == kNullSize) return {};
  if (n < 1024) return std::to_string(n);
  // The unit follows the raw count, so 2^20 - 1 shows as "1024 Kb".
  if (n < (int64_t{1} << 20)) return TwoDecimals(double(n) * 0.0009765625) + " Kb";
  if (n < (int64_t{1} << 30)) return TwoDecimals(double(n) * 9.5367431640625e-07) + " Mb";
  return TwoDecimals(double(n) * 9.313225746154785e-10) + " Gb";
}

}  // namespace kestrum
