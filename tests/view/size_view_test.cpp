#include "view/size_view.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(SizeView, FormatsCountsWithUnits) {
  const SizeView view;
  const struct {
    int64_t n;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1023, "1023"},
      {1024, "1 Kb"},
      {1025, "1 Kb"},
      {1030, "1.01 Kb"},
      {1536, "1.5 Kb"},
      {(1 << 20) - 1, "1024 Kb"},
      {1 << 20, "1 Mb"},
      {26843546, "25.6 Mb"},  // 25.6 * 2^20, rounded to a whole number
      {(int64_t{1} << 30) - 1, "1024 Mb"},
      {int64_t{1} << 30, "1 Gb"},
      {int64_t{3} << 29, "1.5 Gb"},
      {-5, "-5"},
      {int64_t{5} << 40, "5120 Gb"},
      {kNullSize, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(view.Format(c.n), c.text) << c.n;
}

}  // namespace
}  // namespace kestrum
