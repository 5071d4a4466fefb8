// The records of the self-extractor container and the limits the reader holds
// them to. The byte layouts are documented above the code that reads them
// (container_reader.cpp); container_writer.cpp writes the same records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum {

// Offsets of the locator fields inside the stub's MS-DOS header.
constexpr uint64_t kStampOffset = 28;
constexpr uint64_t kStampSize = 32;  // bytes 28..59
constexpr char kStampMarker[12] = "Kestrum SFX";

// The header's format field: every record in the executable, or the split
// layout whose record stream runs on into volume files.
constexpr uint16_t kFormatSingleFile = 1;
constexpr uint16_t kFormatSplit = 2;

constexpr uint32_t kMaxChunkBody = 10u * 1024 * 1024;  // the extractor's chunk buffer
// Counted in 64 bits everywhere: an entry may hold what its file holds. The
// ceiling is far beyond any disk and keeps sums of offsets from overflowing.
constexpr uint64_t kMaxStoredSize = 1ull << 48;
// The key block's halves: the cipher's key at 0..15, its IV at 32..47.
constexpr uint32_t kKeyOffset = 0;
constexpr uint32_t kIvOffset = 32;
constexpr uint32_t kKeyLength = 16;
constexpr uint32_t kMinKeyBlock = kIvOffset + kKeyLength;
constexpr uint32_t kKeyBlockSize = 64;  // what builders write

// Ceilings on what the file may ask the reader to hold in memory. The table
// and the text records are read from the file, so their memory is bounded by
// the bytes the file really holds (every record takes 21 bytes at least);
// their fixed ceilings only keep a 32-bit process within its address space,
// far above any real folder. The others together stay below 64 MiB.
constexpr uint64_t kMaxKeyBlock = 4096;
constexpr uint64_t kMaxDescription = 4u * 1024 * 1024;
constexpr uint32_t kMaxEntries = 1u << 24;
// All records together: 4 MiB, and the manifest's 32 bytes for every entry.
constexpr uint64_t kMaxTextRecordBytes = 4u * 1024 * 1024 + 32ull * kMaxEntries;
constexpr uint32_t kMaxTextRecords = 65536;
constexpr uint64_t kMaxImageBytes = 4u * 1024 * 1024;  // each of icon and banner
constexpr int32_t kMaxImageSide = 16384;
constexpr uint64_t kMaxArchiveName = 64u * 1024;
constexpr uint64_t kMaxEntryName = 32u * 1024;
constexpr uint64_t kMaxNameBytes = 256u * 1024 * 1024;  // all entry names together
constexpr uint32_t kMaxVolumeCount = 65536;
constexpr uint32_t kVolumeHeaderSize = 12;

struct SfxStamp {
  uint32_t header_offset = 0;
  uint32_t table_offset_raw = 0;
  int64_t table_offset = 0;  // sign-extended, as the format defines it
  uint8_t marker[12] = {};
  uint32_t volume_count = 0;
  uint64_t directory_offset = 0;

  bool HasArchive() const { return header_offset != 0 || table_offset_raw != 0; }
};

// An image as stored in the header: rows from the top, pixels B,G,R,A premultiplied.
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int32_t hot_x = 0, hot_y = 0;
  int32_t spot2_x = 0, spot2_y = 0;
  std::vector<uint8_t> bgra;

  bool empty() const { return width <= 0 || height <= 0; }
};

enum ImageFlags : uint32_t { kHasIcon = 1, kHasBanner = 2 };

// The text records, which nothing interprets: kept as one block of bytes and
// the end of each, so that many tiny records cost little more than their bytes.
class TextRecords {
 public:
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  uint64_t bytes() const { return bytes_.size(); }
  std::string operator[](size_t i) const {
    const uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return bytes_.substr(begin, ends_[i] - begin);
  }
  void Add(const std::string& record) {
    bytes_ += record;
    ends_.push_back(static_cast<uint32_t>(bytes_.size()));
  }
  void clear() {
    bytes_.clear();
    ends_.clear();
  }
  void reserve(size_t count) { ends_.reserve(count); }

 private:
  std::string bytes_;
  std::vector<uint32_t> ends_;
};

// A text record the reader leaves in the file: the manifest, whose digests
// can take tens of megabytes and are read only when a run needs them.
struct RecordPlace {
  uint64_t offset = 0;  // of the record's first byte in the stream
  uint64_t size = 0;
};

struct HeaderRecord {
  uint16_t format = 0;
  uint16_t reserved1 = 0;
  uint32_t archive_id = 0;
  uint32_t language = 0;
  uint32_t reserved2 = 0;
  uint32_t reserved3 = 0;
  std::vector<uint8_t> key_block;
  std::string description;
  TextRecords text_records;            // every record but the manifests
  std::vector<RecordPlace> manifests;  // records that begin as a manifest
  uint32_t image_flags = 0;
  Image icon;
  Image banner;

  size_t text_record_count() const { return text_records.size() + manifests.size(); }
  // Any format but the single-file one is read as split.
  bool split() const { return format != kFormatSingleFile; }
};

// The three forms of an entry record; only the flag byte differs.
enum class RecordForm { kSingleFile, kDirectory, kStream };

struct EntryRecord {
  bool stored_raw = false;
  uint64_t size = 0;
  uint64_t stored_size = 0;
  std::string name;          // cut at the first NUL
  uint32_t name_length = 0;  // bytes the name occupies in the record
};

struct VolumeHeader {
  uint32_t archive_id = 0;
  uint32_t number = 0;
  uint32_t unused = 0;
};

// Bytes a record of this form occupies, name included.
inline uint64_t RecordBytes(RecordForm form, uint64_t name_length) {
  return (form == RecordForm::kStream ? 0 : 1) + 8 + 8 + 4 + name_length;
}
// Where stored_size sits inside a record of this form.
inline uint64_t StoredSizeAt(RecordForm form) {
  return (form == RecordForm::kStream ? 0 : 1) + 8;
}
constexpr uint32_t kChunkLengthSize = 4;  // the u32 before each chunk's body

}  // namespace kestrum
