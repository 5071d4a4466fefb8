// The writer's records read back by the reader: one layout, two directions.
#include "archive/container_writer.h"

#include <gtest/gtest.h>

#include "archive/byte_cursor.h"
#include "archive/byte_stream.h"
#include "archive/container_reader.h"

namespace kestrum {
namespace {

TEST(ContainerWriter, EveryRecordReadsBackAsWritten) {
  HeaderRecord h;
  h.format = kFormatSplit;
  h.archive_id = 0x01020304;
  h.language = 1031;
  h.key_block.assign(kKeyBlockSize, 7);
  h.description = "[* bold]";
  h.text_records.Add("one");
  h.text_records.Add("");
  h.banner.width = 2;
  h.banner.height = 1;
  h.banner.hot_x = -3;
  h.banner.bgra.assign(8, 9);
  EntryRecord e;
  e.stored_raw = true;
  e.size = 5ull << 32;
  e.stored_size = 1234;
  e.name = "dir/name.txt";

  std::vector<uint8_t> bytes(kStampOffset + kStampSize);
  SfxStamp stamp;
  stamp.header_offset = 77;
  stamp.table_offset_raw = 0x80000000u;
  stamp.volume_count = 3;
  stamp.directory_offset = 1ull << 33;
  PutStamp(bytes, stamp);
  const uint64_t header_at = bytes.size();
  const std::vector<uint8_t> header = HeaderBytes(h);
  bytes.insert(bytes.end(), header.begin(), header.end());
  const std::vector<uint8_t> head = TableHeadBytes("archive", 2);
  bytes.insert(bytes.end(), head.begin(), head.end());
  ByteWriter records;
  PutEntry(records, RecordForm::kSingleFile, e);
  PutEntry(records, RecordForm::kStream, e);
  bytes.insert(bytes.end(), records.bytes().begin(), records.bytes().end());
  const std::vector<uint8_t> volume = VolumeHeaderBytes({h.archive_id, 2, 3});
  bytes.insert(bytes.end(), volume.begin(), volume.end());

  MemoryStream stream(bytes);
  ByteCursor in(stream);
  ContainerReader reader(in);
  SfxStamp s;
  ASSERT_TRUE(reader.ReadStamp(s));
  EXPECT_EQ(s.header_offset, 77u);
  EXPECT_EQ(s.table_offset, -2147483648ll);
  EXPECT_EQ(s.volume_count, 3u);
  EXPECT_EQ(s.directory_offset, 1ull << 33);
  ASSERT_TRUE(in.Seek(header_at));
  HeaderRecord r;
  ASSERT_TRUE(reader.ReadHeaderFields(r) && reader.ReadHeaderBody(r)) << reader.error();
  EXPECT_EQ(r.format, kFormatSplit);
  EXPECT_EQ(r.archive_id, h.archive_id);
  EXPECT_EQ(r.language, 1031u);
  EXPECT_EQ(r.key_block, h.key_block);
  EXPECT_EQ(r.description, h.description);
  ASSERT_EQ(r.text_records.size(), 2u);
  EXPECT_EQ(r.text_records[0], "one");
  EXPECT_EQ(r.image_flags, uint32_t{kHasBanner});
  EXPECT_EQ(r.banner.hot_x, -3);
  EXPECT_EQ(r.banner.bgra, h.banner.bgra);
  std::string name;
  uint32_t count = 0;
  ASSERT_TRUE(reader.ReadTableHead(name, count));
  EXPECT_EQ(name, "archive");
  EXPECT_EQ(count, 2u);
  for (RecordForm form : {RecordForm::kSingleFile, RecordForm::kStream}) {
    const uint64_t at = in.Tell();
    EntryRecord got;
    ASSERT_TRUE(reader.ReadEntry(form, got));
    EXPECT_EQ(got.stored_raw, form != RecordForm::kStream);
    EXPECT_EQ(got.size, e.size);
    EXPECT_EQ(got.stored_size, e.stored_size);
    EXPECT_EQ(got.name, e.name);
    EXPECT_EQ(in.Tell() - at, RecordBytes(form, e.name.size()));
  }
  VolumeHeader v;
  ASSERT_TRUE(reader.ReadVolumeHeader(v));
  EXPECT_EQ(v.number, 2u);
}

}  // namespace
}  // namespace kestrum
