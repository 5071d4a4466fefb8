// The packer: writes a folder's files as an archive onto a stub, as one
// executable or split into volume files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/container_format.h"

namespace kestrum {

// Small enough that extraction's two threads share the work finely and start
// writing early, large enough that the history restarted at every chunk costs
// next to nothing in size.
constexpr uint32_t kDefaultChunkSize = 2u * 1024 * 1024;
// Room for the gzip header, trailer and block overhead of incompressible data.
constexpr uint32_t kMaxGzipChunkInput = kMaxChunkBody - 64 * 1024;

struct PackOptions {
  std::string source_dir;
  std::string output;
  std::string stub_path;
  std::vector<uint8_t> stub_bytes;  // the stub itself, used instead of stub_path when set
  std::string name;                 // archive name; empty: the folder's name
  std::string description;
  uint32_t language = 0;
  bool raw = false;
  int level = 6;    // 0..12: 0 stores, 1..9 as zlib's levels, 10..12 slower and smaller
  int threads = 0;  // compressing threads; 0: one per core
  uint32_t chunk_size = kDefaultChunkSize;
  Image icon;
  Image banner;
  uint64_t split_size = 0;  // 0: one executable
  bool manifest = true;     // the SHA-256 of every file, in the header
  // Key block and archive id derived from what is packed instead of random:
  // the same input then gives the same bytes.
  bool reproducible = false;
};

struct PackSummary {
  uint64_t files = 0;
  uint64_t input_bytes = 0;
  uint32_t volume_count = 1;
  std::vector<std::string> outputs;  // the executable first, then the volumes
  std::vector<std::string> grown;  // files that grew while packed: only their listed size is stored
};

// Told after each chunk; returning false stops the run, which then fails
// with kPackStopped and leaves nothing behind.
using PackProgress = std::function<bool(uint64_t done, uint64_t total, const std::string& current)>;
constexpr char kPackStopped[] = "stopped";

bool PackArchive(const PackOptions& options, const PackProgress& progress, PackSummary& summary,
                 std::string& error);

}  // namespace kestrum
