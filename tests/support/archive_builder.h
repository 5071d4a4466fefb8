// Assembles containers byte by byte from the documented layout, independently
// of the packer, so that packer and reader cannot share a mistake.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum::test {

using Bytes = std::vector<uint8_t>;

// Little-endian appends.
void Put8(Bytes& b, uint8_t v);
void Put16(Bytes& b, uint16_t v);
void Put32(Bytes& b, uint32_t v);
void Put64(Bytes& b, uint64_t v);
void PutString(Bytes& b, const std::string& s);  // u32 length + bytes
void PutBytes(Bytes& b, const Bytes& more);
void Set32(Bytes& b, size_t at, uint32_t v);
void Set64(Bytes& b, size_t at, uint64_t v);

struct TestEntry {
  bool raw = true;
  uint64_t size = 0;
  std::string name;  // stored as is (may hold a NUL)
  Bytes chunks;      // length prefixes and bodies, as stored
  // stored_size written in the record; by default chunks.size().
  int64_t stored_size_override = -1;
  uint64_t stored_size() const {
    return stored_size_override >= 0 ? uint64_t(stored_size_override) : chunks.size();
  }
};

// Chunk bytes for `data` stored raw and unenciphered, cut into pieces.
Bytes RawChunks(const std::string& data, size_t piece = 1 << 20);

struct TestArchive {
  size_t stub_size = 512;  // zeros, "MZ" at 0
  Bytes stub;              // a real stub instead, when not empty
  uint16_t format = 1;
  uint32_t archive_id = 0xA1B2C3D4;
  uint32_t language = 0;
  Bytes key_block = Bytes(64, 7);
  std::string description;
  std::vector<std::string> text_records;
  uint32_t image_flags = 0;
  Bytes icon;  // whole image records, as stored
  Bytes banner;
  size_t gap = 0;  // padding bytes between header and table
  std::string archive_name = "Test archive";
  std::vector<TestEntry> entries;
  uint32_t volume_count = 1;  // written into the stamp of a single-file build

  Bytes HeaderBytes() const;
  // A single-file archive.
  Bytes Build() const;
  // A split archive: the record stream is cut after `in_exe` bytes of stream
  // (counted from table_offset) and the rest into volumes of `per_volume`
  // payload bytes each. Fills `volumes` with the volume files' bytes.
  Bytes BuildSplit(size_t in_exe, size_t per_volume, std::vector<Bytes>& volumes) const;
};

// An image record (version byte 1, sizes, spots, pixels).
Bytes ImageRecord(int32_t width, int32_t height, uint8_t fill = 0x80);

}  // namespace kestrum::test
