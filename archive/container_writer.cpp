#include "archive/container_writer.h"

#include <cstring>

namespace kestrum {
namespace {

void PutImage(ByteWriter& w, const Image& image) {
  w.U8(1);  // version 0, stored as version + 1
  w.I32(image.width);
  w.I32(image.height);
  w.I32(image.hot_x);
  w.I32(image.hot_y);
  w.I32(image.spot2_x);
  w.I32(image.spot2_y);
  w.Bytes(image.bgra.data(), image.bgra.size());
}

}  // namespace

void PutStamp(std::vector<uint8_t>& executable, const SfxStamp& stamp) {
  ByteWriter w;
  w.U32(stamp.header_offset);
  w.U32(stamp.table_offset_raw);
  w.Bytes(stamp.marker, sizeof stamp.marker);
  w.U32(stamp.volume_count);
  w.U64(stamp.directory_offset);
  std::memcpy(executable.data() + kStampOffset, w.bytes().data(), kStampSize);
}

std::vector<uint8_t> HeaderBytes(const HeaderRecord& h) {
  ByteWriter w;
  w.U16(h.format);
  w.U16(h.reserved1);
  w.U32(h.archive_id);
  w.U32(h.language);
  w.U32(h.reserved2);
  w.U32(h.reserved3);
  w.U32(static_cast<uint32_t>(h.key_block.size()));
  w.Bytes(h.key_block.data(), h.key_block.size());
  w.String(h.description);
  w.U32(static_cast<uint32_t>(h.text_records.size()));
  for (size_t i = 0; i < h.text_records.size(); ++i) w.String(h.text_records[i]);
  // The flags follow the images present, whatever the record says.
  const uint32_t flags =
      (h.icon.empty() ? 0u : uint32_t{kHasIcon}) | (h.banner.empty() ? 0u : uint32_t{kHasBanner});
  w.U32(flags);
  if (flags & kHasIcon) PutImage(w, h.icon);
  if (flags & kHasBanner) PutImage(w, h.banner);
  return w.bytes();
}

std::vector<uint8_t> TableHeadBytes(const std::string& archive_name, uint32_t entry_count) {
  ByteWriter w;
  w.String(archive_name);
  w.U32(entry_count);
  return w.bytes();
}

void PutEntry(ByteWriter& out, RecordForm form, const EntryRecord& entry) {
  if (form != RecordForm::kStream) out.U8(entry.stored_raw ? 1 : 0);
  out.U64(entry.size);
  out.U64(entry.stored_size);
  out.String(entry.name);
}

void PutChunkLength(ByteWriter& out, uint32_t body_length) {
  out.U32(body_length);
}

std::vector<uint8_t> VolumeHeaderBytes(const VolumeHeader& v) {
  ByteWriter w;
  w.U32(v.archive_id);
  w.U32(v.number);
  w.U32(v.unused);
  return w.bytes();
}

}  // namespace kestrum
