// The packer's chunks, read ahead, compressed on several threads and handed
// back in archive order.
//
// One thread reads the files chunk by chunk into a ring of slots; `threads`
// threads compress the slots that have been read, each with a compressor of
// its own; the caller takes the compressed chunks strictly in order (it
// applies the keystream and writes). The ring has a fixed number of slots, so
// memory stays bounded whatever the corpus.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tool/source_tree.h"

namespace kestrum {

class ChunkPipeline {
 public:
  struct Chunk {
    size_t file = 0;            // index into the files
    size_t input_size = 0;      // bytes of the file it holds
    bool last = false;          // the file's last chunk
    bool grew = false;          // (last chunk) the file is longer now than when listed
    uint8_t digest[32] = {};    // (last chunk) the SHA-256 of the file's content
    std::string error;          // set: reading or compressing failed; nothing follows
    std::vector<uint8_t> body;  // the gzip member, or the bytes as they are (raw)
  };

  // Every file of nonzero size yields ceil(size / chunk_size) chunks, the last
  // one flagged; empty files yield none. level < 0: raw, nothing compressed.
  ChunkPipeline(const std::vector<SourceFile>& files, uint32_t chunk_size, int level, int threads);
  ~ChunkPipeline();  // stops the threads, also when not everything was taken
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  // The next chunk in order, waiting for it; valid until the next call. The
  // caller may change its body (encipher it in place).
  Chunk& Next();

 private:
  enum class SlotState { kFree, kReading, kRead, kCompressing, kDone };
  struct Slot {
    SlotState state = SlotState::kFree;
    uint64_t seq = 0;
    std::vector<uint8_t> input;
    Chunk chunk;
  };

  void ReadAll();
  void CompressAll();
  bool ReadFile(size_t index, uint64_t& seq);
  // Waits for slot `seq` to be free and claims it for reading; false when stopping.
  Slot* ClaimForReading(uint64_t seq);
  void Publish(Slot& slot);

  const std::vector<SourceFile>& files_;
  const uint32_t chunk_size_;
  const int level_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  bool stopping_ = false;
  bool read_all_ = false;   // the reader has published its last chunk
  uint64_t published_ = 0;  // chunks the reader has handed over
  uint64_t next_compress_ = 0;
  uint64_t next_take_ = 0;
  Slot* taken_ = nullptr;  // held by the caller since the last Next
  Chunk dry_;
  std::vector<std::thread> threads_;
};

}  // namespace kestrum
