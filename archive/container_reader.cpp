#include "archive/container_reader.h"

#include <cstdio>

#include "archive/manifest.h"

namespace kestrum {

std::string CutAtNul(const std::string& s) {
  const size_t nul = s.find('\0');
  return nul == std::string::npos ? s : s.substr(0, nul);
}

std::string VolumeBase(const std::string& executable_path) {
  return executable_path.size() > 4 ? executable_path.substr(0, executable_path.size() - 4)
                                    : std::string();
}

std::string VolumeFileName(const std::string& volume_base, uint32_t number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(number));
  return volume_base + "." + digits;
}

bool ContainerReader::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
  in_.Fail();
  return false;
}

bool ContainerReader::ReadString(const char* what, uint64_t limit, std::string& out,
                                 uint32_t* length) {
  const uint32_t n = in_.U32();
  if (in_.failed()) return Fail(std::string("file ends before the length of the ") + what);
  if (length) *length = n;
  if (n > limit)
    return Fail(std::string("the ") + what + " is too long (" + std::to_string(n) + " bytes)");
  if (n > in_.Left()) return Fail(std::string("the ") + what + " runs past the end of the file");
  return in_.Bytes(n, out);
}

// Stamp, at byte 28 of the executable (reserved words of the MS-DOS header):
//   u32 header_offset | u32 table_offset (signed) | 12 bytes marker
//   u32 volume_count  | u64 directory_offset
bool ContainerReader::ReadStamp(SfxStamp& stamp) {
  if (!in_.Seek(kStampOffset) || in_.Left() < kStampSize)
    return Fail("the file is too short to be a self-extractor");
  stamp.header_offset = in_.U32();
  stamp.table_offset_raw = in_.U32();
  stamp.table_offset = static_cast<int32_t>(stamp.table_offset_raw);
  for (uint8_t& b : stamp.marker) b = in_.U8();
  stamp.volume_count = in_.U32();
  stamp.directory_offset = in_.U64();
  return !in_.failed() || Fail("the stamp cannot be read");
}

// Archive header, fixed part:
//   u16 format | u16 reserved1 | u32 archive_id | u32 language
//   u32 reserved2 | u32 reserved3
bool ContainerReader::ReadHeaderFields(HeaderRecord& h) {
  h.format = in_.U16();
  h.reserved1 = in_.U16();
  h.archive_id = in_.U32();
  h.language = in_.U32();
  h.reserved2 = in_.U32();
  h.reserved3 = in_.U32();
  return !in_.failed() || Fail("the archive header is cut short");
}

// Archive header, variable part, right after the fixed fields:
//   u32 n + n bytes       key block (key at 0..15, IV at 32..47)
//   u32 n + n bytes       description (QTF, ends at NUL)
//   u32 count, count x (u32 n + n bytes)   text records
//   u32 image_flags       bit 0: icon follows, bit 1: banner follows (icon first)
bool ContainerReader::ReadHeaderBody(HeaderRecord& h) {
  const uint32_t key_length = in_.U32();
  if (in_.failed()) return Fail("the archive header ends before the key block");
  if (key_length < kMinKeyBlock)
    return Fail("the key block holds " + std::to_string(key_length) + " bytes, fewer than 48");
  if (key_length > kMaxKeyBlock || key_length > in_.Left())
    return Fail("the key block length is impossible");
  if (!in_.Bytes(key_length, h.key_block)) return Fail("the key block cannot be read");

  if (!ReadString("description", kMaxDescription, h.description)) return false;
  // Cut at the first NUL in place: a copy would hold the text twice.
  const size_t nul = h.description.find('\0');
  if (nul != std::string::npos) h.description.resize(nul);

  const uint32_t count = in_.U32();
  if (in_.failed()) return Fail("the archive header ends before the text records");
  if (count > in_.Left() / 4 || count > kMaxTextRecords)
    return Fail("the text record count is impossible (" + std::to_string(count) + ")");
  uint64_t total = 0;
  h.text_records.clear();
  h.manifests.clear();
  std::string record;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t n = in_.U32();
    if (in_.failed()) return Fail("file ends before the length of the text record");
    if (n > kMaxTextRecordBytes - total)
      return Fail("the text record is too long (" + std::to_string(n) + " bytes)");
    if (n > in_.Left()) return Fail("the text record runs past the end of the file");
    total += n;
    // A manifest stays in the file: only its place is kept.
    const uint64_t at = in_.Tell();
    if (n >= kManifestMagicSize && in_.Bytes(kManifestMagicSize, record) &&
        record.compare(0, kManifestMagicSize, kManifestMagic) == 0) {
      h.manifests.push_back({at, n});
      in_.Seek(at + n);
      continue;
    }
    in_.Seek(at);
    if (!in_.Bytes(n, record)) return Fail("the text record cannot be read");
    h.text_records.Add(record);
  }

  h.image_flags = in_.U32();
  if (in_.failed()) return Fail("the archive header ends before the image flags");
  if ((h.image_flags & kHasIcon) && !ReadImage(h.icon)) return false;
  if ((h.image_flags & kHasBanner) && !ReadImage(h.banner)) return false;
  return true;
}

// Image record:
//   version + 1: one byte, or byte 255 then u32
//   i32 width, i32 height | i32 hot x, y | i32 second spot x, y
//   width * height * 4 bytes, pixels B,G,R,A, rows from the top (absent when
//   width * height is 0)
bool ContainerReader::ReadImage(Image& image) {
  if (in_.U8() == 255) in_.U32();
  image.width = in_.I32();
  image.height = in_.I32();
  image.hot_x = in_.I32();
  image.hot_y = in_.I32();
  image.spot2_x = in_.I32();
  image.spot2_y = in_.I32();
  if (in_.failed()) return Fail("an image record is cut short");
  if (image.width < 0 || image.height < 0 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide)
    return Fail("an image record has an impossible size");
  const uint64_t bytes = uint64_t(image.width) * uint64_t(image.height) * 4;
  if (bytes > kMaxImageBytes || bytes > in_.Left())
    return Fail("an image record runs past the end of the file");
  if (bytes == 0) {
    image = Image();
    return true;
  }
  return in_.Bytes(bytes, image.bgra) || Fail("an image record cannot be read");
}

// File table head, at table_offset:
//   u32 n + n bytes  archive_name (all bytes kept)
//   u32 entry_count
bool ContainerReader::ReadTableHead(std::string& archive_name, uint32_t& entry_count) {
  if (!ReadString("archive name", kMaxArchiveName, archive_name)) return false;
  entry_count = in_.U32();
  return !in_.failed() || Fail("the file table ends before the entry count");
}

// Entry record (single-file and directory forms; the stream form has no flag byte):
//   byte stored_raw | u64 size | u64 stored_size | u32 n + n bytes name (ends at NUL)
bool ContainerReader::ReadEntry(RecordForm form, EntryRecord& e) {
  e.stored_raw = form != RecordForm::kStream && in_.U8() != 0;
  e.size = in_.U64();
  e.stored_size = in_.U64();
  if (in_.failed()) return Fail("an entry record is cut short");
  // Read in place and cut at the first NUL: a table of a million records
  // allocates nothing per name once the buffer has grown.
  if (!ReadString("entry name", kMaxEntryName, e.name, &e.name_length)) return false;
  const size_t nul = e.name.find('\0');
  if (nul != std::string::npos) e.name.resize(nul);
  return true;
}

// Volume header, the first 12 bytes of volume file i:
//   u32 archive_id | u32 volume number | u32 (not read)
bool ContainerReader::ReadVolumeHeader(VolumeHeader& v) {
  v.archive_id = in_.U32();
  v.number = in_.U32();
  return !in_.failed() || Fail("the volume header is cut short");
}

}  // namespace kestrum
