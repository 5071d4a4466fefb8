#include "tool/volume_plan.h"

#include <algorithm>

#include "archive/container_format.h"

namespace kestrum {

bool PlanVolumes(const SplitSizes& s, VolumePlan& plan, std::string& error) {
  plan = VolumePlan();
  const uint64_t executable_least = s.before_table + s.table_head + s.directory;
  if (executable_least > s.split_size || s.split_size <= kVolumeHeaderSize) {
    error = "the split size is too small: the executable alone needs " +
            std::to_string(executable_least + 1) + " bytes";
    return false;
  }
  // One flag byte per record turns the stream into an ordinary file table.
  if (s.before_table + s.stream + s.entries <= s.split_size) {
    plan.single_file = true;
    return true;
  }
  plan.in_executable = std::min(s.stream, s.split_size - s.before_table - s.directory);
  plan.per_volume = s.split_size - kVolumeHeaderSize;
  const uint64_t volumes = (s.stream - plan.in_executable + plan.per_volume - 1) / plan.per_volume;
  if (volumes + 1 > kMaxVolumeCount) {
    error = "the split size is too small: it would make more than " +
            std::to_string(kMaxVolumeCount) + " files";
    return false;
  }
  plan.volume_count = static_cast<uint32_t>(volumes + 1);
  return true;
}

}  // namespace kestrum
