// How a split archive's record stream is cut between the executable and its
// volume files: a pure calculation over sizes, before anything is written.
#pragma once

#include <cstdint>
#include <string>

namespace kestrum {

struct SplitSizes {
  uint64_t split_size = 0;    // the most bytes any one file may take
  uint64_t before_table = 0;  // stub and header: everything before the table
  uint64_t table_head = 0;    // archive name and entry count
  uint64_t directory = 0;     // the directory of flagged records that ends the executable
  uint64_t stream = 0;        // the table head and every record with its chunks
  uint64_t entries = 0;
};

struct VolumePlan {
  // Everything fits into the executable: an ordinary archive is written
  // instead, each record gaining its flag byte.
  bool single_file = false;
  uint64_t in_executable = 0;  // the stream's first bytes, kept in the executable
  uint64_t per_volume = 0;     // stream bytes in each volume after its header
  uint32_t volume_count = 1;   // the executable included
};

// Fails with a message a user can act on when the split size is too small.
bool PlanVolumes(const SplitSizes& sizes, VolumePlan& plan, std::string& error);

}  // namespace kestrum
