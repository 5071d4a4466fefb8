#include "tests/support/archive_builder.h"

#include <algorithm>

namespace kestrum::test {

void Put8(Bytes& b, uint8_t v) {
  b.push_back(v);
}
void Put16(Bytes& b, uint16_t v) {
  for (int i = 0; i < 2; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put64(Bytes& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void PutString(Bytes& b, const std::string& s) {
  Put32(b, uint32_t(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}
void PutBytes(Bytes& b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}
void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
void Set64(Bytes& b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

Bytes RawChunks(const std::string& data, size_t piece) {
  Bytes out;
  for (size_t at = 0; at < data.size(); at += piece) {
    const size_t n = std::min(piece, data.size() - at);
    Put32(out, uint32_t(n));
    out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
  }
  return out;
}

Bytes ImageRecord(int32_t width, int32_t height, uint8_t fill) {
  Bytes b;
  Put8(b, 1);
  Put32(b, uint32_t(width));
  Put32(b, uint32_t(height));
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  if (width > 0 && height > 0) b.insert(b.end(), size_t(width) * size_t(height) * 4, fill);
  return b;
}

Bytes TestArchive::HeaderBytes() const {
  Bytes h;
  Put16(h, format);
  Put16(h, 0);
  Put32(h, archive_id);
  Put32(h, language);
  Put32(h, 0);
  Put32(h, 0);
  Put32(h, uint32_t(key_block.size()));
  PutBytes(h, key_block);
  PutString(h, description);
  Put32(h, uint32_t(text_records.size()));
  for (const std::string& t : text_records) PutString(h, t);
  Put32(h, image_flags);
  if (image_flags & 1) PutBytes(h, icon);
  if (image_flags & 2) PutBytes(h, banner);
  return h;
}

namespace {

Bytes Stub(size_t size) {
  Bytes b(size, 0);
  b[0] = 'M';
  b[1] = 'Z';
  return b;
}

void PutStamp(Bytes& b, uint32_t header_offset, uint32_t table_offset, uint32_t volume_count,
              uint64_t directory_offset) {
  Set32(b, 28, header_offset);
  Set32(b, 32, table_offset);
  const char marker[12] = "Kestrum SFX";
  std::copy(marker, marker + 12, b.begin() + 36);
  Set32(b, 48, volume_count);
  Set64(b, 52, directory_offset);
}

}  // namespace

Bytes TestArchive::Build() const {
  Bytes b = stub.empty() ? Stub(stub_size) : stub;
  const size_t header_offset = b.size();
  PutBytes(b, HeaderBytes());
  b.insert(b.end(), gap, 0xEE);
  const size_t table_offset = b.size();
  PutString(b, archive_name);
  Put32(b, uint32_t(entries.size()));
  for (const TestEntry& e : entries) {
    Put8(b, e.raw ? 1 : 0);
    Put64(b, e.size);
    Put64(b, e.stored_size());
    PutString(b, e.name);
    PutBytes(b, e.chunks);
  }
  PutStamp(b, uint32_t(header_offset), uint32_t(table_offset), volume_count, 0);
  return b;
}

Bytes TestArchive::BuildSplit(size_t in_exe, size_t per_volume, std::vector<Bytes>& volumes) const {
  Bytes stream;
  PutString(stream, archive_name);
  Put32(stream, uint32_t(entries.size()));
  Bytes directory;
  for (const TestEntry& e : entries) {
    Put64(stream, e.size);
    Put64(stream, e.stored_size());
    PutString(stream, e.name);
    PutBytes(stream, e.chunks);
    Put8(directory, 0);
    Put64(directory, e.size);
    Put64(directory, e.stored_size());
    PutString(directory, e.name);
  }
  in_exe = std::min(in_exe, stream.size());
  Bytes b = stub.empty() ? Stub(stub_size) : stub;
  const size_t header_offset = b.size();
  PutBytes(b, HeaderBytes());
  const size_t table_offset = b.size();
  b.insert(b.end(), stream.begin(), stream.begin() + long(in_exe));
  const size_t directory_offset = b.size();
  PutBytes(b, directory);
  volumes.clear();
  for (size_t at = in_exe, i = 1; at < stream.size(); at += per_volume, ++i) {
    Bytes v;
    Put32(v, archive_id);
    Put32(v, uint32_t(i));
    Put32(v, 0);
    const size_t n = std::min(per_volume, stream.size() - at);
    v.insert(v.end(), stream.begin() + long(at), stream.begin() + long(at + n));
    volumes.push_back(std::move(v));
  }
  PutStamp(b, uint32_t(header_offset), uint32_t(table_offset), uint32_t(volumes.size() + 1),
           directory_offset);
  return b;
}

}  // namespace kestrum::test
