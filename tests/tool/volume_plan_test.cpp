// Where a split archive is cut: sizes only, no files.
#include "tool/volume_plan.h"

#include <gtest/gtest.h>

#include "archive/container_format.h"

namespace kestrum {
namespace {

SplitSizes Sizes(uint64_t split, uint64_t stream, uint64_t entries = 10) {
  SplitSizes s;
  s.split_size = split;
  s.before_table = 1000;
  s.table_head = 20;
  s.directory = 300;
  s.stream = stream;
  s.entries = entries;
  return s;
}

TEST(VolumePlan, CutsTheStreamAfterTheExecutableAndFillsEachVolume) {
  VolumePlan plan;
  std::string error;
  // Executable: 10,000 - 1,000 - 300 = 8,700 stream bytes; volumes 9,988 each.
  ASSERT_TRUE(PlanVolumes(Sizes(10000, 30000), plan, error)) << error;
  EXPECT_FALSE(plan.single_file);
  EXPECT_EQ(plan.in_executable, 8700u);
  EXPECT_EQ(plan.per_volume, 10000u - kVolumeHeaderSize);
  EXPECT_EQ(plan.volume_count, 4u);  // 21,300 bytes left: three volumes
  // Exactly filling the last volume needs no further one.
  ASSERT_TRUE(PlanVolumes(Sizes(10000, 8700 + 2 * 9988), plan, error));
  EXPECT_EQ(plan.volume_count, 3u);
}

TEST(VolumePlan, AnArchiveThatFitsWithItsFlagBytesStaysOneFile) {
  VolumePlan plan;
  std::string error;
  ASSERT_TRUE(PlanVolumes(Sizes(10000, 8990, 10), plan, error));
  EXPECT_TRUE(plan.single_file);
  // One byte more and the flag bytes no longer fit.
  ASSERT_TRUE(PlanVolumes(Sizes(10000, 8991, 10), plan, error));
  EXPECT_FALSE(plan.single_file);
  EXPECT_EQ(plan.volume_count, 2u);
}

TEST(VolumePlan, RefusesSizesTooSmallWithTheNeededSize) {
  VolumePlan plan;
  std::string error;
  EXPECT_FALSE(PlanVolumes(Sizes(1319, 5000), plan, error));
  EXPECT_EQ(error, "the split size is too small: the executable alone needs 1321 bytes");
  SplitSizes tiny = Sizes(kVolumeHeaderSize, 5000);
  tiny.before_table = tiny.table_head = tiny.directory = 0;
  EXPECT_FALSE(PlanVolumes(tiny, plan, error));
  // 1,388 stream bytes a volume and 100 MB of stream: about 72,000 volumes.
  EXPECT_FALSE(PlanVolumes(Sizes(1400, 100000000), plan, error));
  EXPECT_EQ(error, "the split size is too small: it would make more than 65536 files");
}

}  // namespace
}  // namespace kestrum
