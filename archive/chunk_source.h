// The chunks of an archive file, in file order. Each entry's data is found at
// its offset; each chunk's length is checked against the entry and the file;
// each body is read and deciphered in place with the archive's one keystream,
// which must be taken in file order.
//
// Chunk, at an entry's data offset, repeated until the entry's stored_size is
// used up exactly:
//   u32 n (plain, at most 10 MiB) | n bytes body (enciphered)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/byte_cursor.h"
#include "archive/byte_stream.h"
#include "archive/chunk_decoder.h"
#include "archive/stage_times.h"

namespace kestrum {

struct ArchiveEntry;

class ChunkSource {
 public:
  ChunkSource(ByteStream& file, const std::vector<uint8_t>& key_block, StageTimes& times);

  // Moves to an entry's data; false when it lies beyond the file.
  bool BeginEntry(const ArchiveEntry& entry, std::string_view name);
  // True once the entry's stored bytes are all taken.
  bool EntryDone() const { return remaining_ == 0; }
  // The next chunk's body length; false when the file ends or the length
  // cannot be right.
  bool NextLength(uint32_t& n);
  // Reads the body of `n` bytes into `into` and deciphers it.
  bool ReadBody(uint8_t* into, uint32_t n);

  // What went wrong first, naming the entry.
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& why);
  std::string EndText() const;

  ByteStream& file_;
  ByteCursor in_;
  KeystreamCipher cipher_;
  StageTimes& times_;
  const ArchiveEntry* entry_ = nullptr;
  std::string_view name_;  // entry_'s, for messages
  uint64_t remaining_ = 0;
  std::string error_;
};

}  // namespace kestrum
