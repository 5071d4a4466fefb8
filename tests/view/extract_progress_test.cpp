#include "view/extract_progress.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrum {
namespace {

TEST(ExtractProgress, FilePercentStaysWithin0To100) {
  EXPECT_EQ(FilePercent(0, 1000), 0);
  EXPECT_EQ(FilePercent(999, 1000), 99);
  EXPECT_EQ(FilePercent(1000, 1000), 100);
  EXPECT_EQ(FilePercent(1500, 1000), 100);  // written past the size: 100, not 1
  EXPECT_EQ(FilePercent(50, 0), 50);        // an empty file divides by 100
  EXPECT_EQ(FilePercent(uint64_t{1} << 62, uint64_t{1} << 63), 50);  // no overflow
}

TEST(ExtractProgress, BarNeverLeavesItsRange) {
  EXPECT_EQ(BarPosition(0.0), 0);
  EXPECT_EQ(BarPosition(0.456), 45);
  EXPECT_EQ(BarPosition(1.7), 100);
  EXPECT_EQ(BarPosition(-3), 0);
  EXPECT_EQ(BarPosition(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace kestrum
