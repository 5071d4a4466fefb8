#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "archive/chunk_source.h"
#include "archive/unzipper.h"
#include "tests/support/archive_builder.h"
#include "tests/support/chunk_maker.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace kestrum {
namespace {

using test::Bytes;
using test::TestArchive;
using test::TestEntry;

TestEntry RawEntry(const std::string& name, const std::string& data) {
  TestEntry e;
  e.name = name;
  e.size = data.size();
  e.chunks = test::RawChunks(data);
  return e;
}

class LoadTest : public ::testing::Test {
 protected:
  int LoadBytes(const Bytes& bytes, const std::string& file = "pack.exe") {
    platform.executable = dir.Write(file, bytes);
    return archive.Load();
  }
  test::TempDir dir;
  test::FakePlatform platform;
  UnZipper archive{platform};
};

// An entry may hold more than 2^31 and 2^32 bytes: its stored size, the
// offset of the entry after it and the seek there all count in 64 bits. The
// big entry's data is a hole in a sparse file, so no disk space is used.
TEST_F(LoadTest, EntriesPastTwoAndFourGiBAreCountedIn64Bits) {
  for (const uint64_t big : {(uint64_t{1} << 31) + 4, (uint64_t{1} << 32) + 4}) {
    test::TempDir scratch;
    TestArchive a;
    test::ChunkMaker maker(a.key_block);
    TestEntry hole = RawEntry("big.bin", "");
    hole.size = big - 4;
    hole.stored_size_override = int64_t(big);
    a.entries = {hole, test::MakeEntry(maker, "after.bin", {"the bytes after the hole"}, true)};
    const Bytes bytes = a.Build();
    // The big entry's data goes between its record and the next record.
    const std::string name = "after.bin";
    const auto at = std::search(bytes.rbegin(), bytes.rend(), name.rbegin(), name.rend());
    ASSERT_NE(at, bytes.rend());
    const size_t after_record = size_t(bytes.rend() - at) - name.size() - 4 - 8 - 8 - 1;
    const std::string path = scratch.File("big.exe");
    {
      std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(after_record));
      out.seekp(std::streamoff(after_record + big));
      out.write(reinterpret_cast<const char*>(bytes.data() + after_record),
                std::streamsize(bytes.size() - after_record));
      ASSERT_TRUE(out.good());
    }
    test::FakePlatform p;
    UnZipper z(p);
    p.executable = path;
    ASSERT_EQ(z.Load(), ST_DONE) << big << ": " << z.load_error().message;
    ASSERT_EQ(z.entries.size(), 2u);
    EXPECT_EQ(z.file_length, bytes.size() + big);
    EXPECT_EQ(z.entries[0].stored_size, big);
    EXPECT_EQ(z.SizeTotal(), big - 4 + z.entries[1].size);
    EXPECT_EQ(z.entries[1].data_offset, z.file_length - z.entries[1].stored_size);
    // The chunk past the hole reads back whole.
    std::unique_ptr<FileStream> file = FileStream::Open(path);
    ASSERT_TRUE(file);
    StageTimes times;
    ChunkSource source(*file, a.key_block, times);
    uint32_t n = 0;
    ASSERT_TRUE(source.BeginEntry(z.entries[1], z.Name(1)) && source.NextLength(n))
        << source.error();
    std::string body(n, '\0');
    ASSERT_TRUE(source.ReadBody(reinterpret_cast<uint8_t*>(&body[0]), n)) << source.error();
    EXPECT_EQ(body, "the bytes after the hole");
  }
}

TEST_F(LoadTest, BareStubHasNoArchive) {
  TestArchive a;
  Bytes bytes = a.Build();
  for (size_t i = 28; i < 60; ++i) bytes[i] = 0;
  EXPECT_EQ(LoadBytes(bytes), ST_NO_ARCHIVE);
  EXPECT_TRUE(archive.entries.empty());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(LoadTest, MissingExecutableFails) {
  platform.executable = dir.File("absent.exe");
  EXPECT_EQ(archive.Load(), ST_FAILED);
  EXPECT_EQ(archive.load_error().problem, LoadProblem::kCannotOpen);
}

TEST_F(LoadTest, SingleFileArchiveWithGapAndDescription) {
  TestArchive a;
  a.gap = 5;
  a.language = 136325;  // deDE
  a.description = std::string("[* Bold] text\0ignored", 21);
  a.text_records = {"one", std::string("t\0o", 3)};
  a.entries = {RawEntry("readme.txt", "hello"), RawEntry("dir\\data.bin", std::string(3000, 'x'))};
  const Bytes bytes = a.Build();
  ASSERT_EQ(LoadBytes(bytes), ST_DONE) << archive.load_error().message;
  EXPECT_EQ(archive.archive_name, "Test archive");
  EXPECT_EQ(archive.file_length, bytes.size());
  EXPECT_FALSE(archive.IsSplit());
  EXPECT_EQ(archive.header.archive_id, 0xA1B2C3D4u);
  EXPECT_EQ(archive.header.language, 136325u);
  EXPECT_EQ(archive.header.description, "[* Bold] text");
  ASSERT_EQ(archive.header.text_records.size(), 2u);
  EXPECT_EQ(archive.header.text_records[0], "one");
  EXPECT_EQ(archive.header.text_records[1], std::string("t\0o", 3));
  EXPECT_EQ(archive.header.key_block.size(), 64u);
  ASSERT_EQ(archive.entries.size(), 2u);
  const ArchiveEntry& first = archive.entries[0];
  EXPECT_EQ(archive.Name(first), "readme.txt");
  EXPECT_TRUE(first.stored_raw);
  EXPECT_EQ(first.size, 5u);
  EXPECT_EQ(first.stored_size, 9u);  // one raw chunk: size + 4
  EXPECT_FALSE(archive.IsDoneAt(0));
  // The data offset points at the chunk's length prefix.
  EXPECT_EQ(bytes[first.data_offset], 5);
  EXPECT_EQ(bytes[first.data_offset + 4], 'h');
  const ArchiveEntry& second = archive.entries[1];
  EXPECT_EQ(second.data_offset, first.data_offset + 9 + 1 + 8 + 8 + 4 + 12);
  EXPECT_EQ(archive.size_total, 3005u);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(LoadTest, EmptyEntriesAndNamesCutAtNul) {
  TestArchive a;
  TestEntry empty;
  empty.name = std::string("empty.txt\0junk", 14);
  a.entries = {empty, RawEntry("after.txt", "abc")};
  ASSERT_EQ(LoadBytes(a.Build()), ST_DONE) << archive.load_error().message;
  ASSERT_EQ(archive.entries.size(), 2u);
  EXPECT_EQ(archive.Name(0), "empty.txt");
  EXPECT_EQ(archive.entries[0].stored_size, 0u);
  // The whole name was stepped over: the next record follows directly.
  EXPECT_EQ(archive.Name(1), "after.txt");
  EXPECT_EQ(archive.entries[1].data_offset, archive.entries[0].data_offset + 1 + 8 + 8 + 4 + 9);
}

TEST_F(LoadTest, NoEntries) {
  TestArchive a;
  ASSERT_EQ(LoadBytes(a.Build()), ST_DONE);
  EXPECT_TRUE(archive.entries.empty());
  EXPECT_EQ(archive.size_total, 0u);
}

TEST_F(LoadTest, ImageFlagsDecideWhichImagesFollow) {
  struct Case {
    uint32_t flags;
    bool icon, banner;
  } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, true, true}};
  for (const Case& c : cases) {
    test::TempDir scratch;
    test::FakePlatform p;
    UnZipper z(p);
    TestArchive a;
    a.image_flags = c.flags;
    a.icon = test::ImageRecord(16, 16, 0x10);
    a.banner = test::ImageRecord(40, 8, 0x20);
    a.entries = {RawEntry("f", "1")};
    p.executable = scratch.Write("x.exe", a.Build());
    ASSERT_EQ(z.Load(), ST_DONE) << c.flags;
    EXPECT_EQ(!z.header.icon.empty(), c.icon) << c.flags;
    EXPECT_EQ(!z.header.banner.empty(), c.banner) << c.flags;
    if (c.banner) {
      EXPECT_EQ(z.header.banner.width, 40);
      EXPECT_EQ(z.header.banner.bgra[0], 0x20);
    }
    ASSERT_EQ(z.entries.size(), 1u);
    EXPECT_EQ(z.Name(0), "f");
  }
}

TEST_F(LoadTest, EmptyImageCountsAsAbsent) {
  TestArchive a;
  a.image_flags = 3;
  a.icon = test::ImageRecord(0, 0);
  a.banner = test::ImageRecord(10, 0);
  ASSERT_EQ(LoadBytes(a.Build()), ST_DONE);
  EXPECT_TRUE(archive.header.icon.empty());
  EXPECT_TRUE(archive.header.banner.empty());
}

TEST_F(LoadTest, SplitFormatWithOneVolumeIsNotSplit) {
  TestArchive a;
  a.format = 2;
  a.volume_count = 1;
  a.entries = {RawEntry("a", "xyz")};
  ASSERT_EQ(LoadBytes(a.Build()), ST_DONE);
  EXPECT_TRUE(archive.header.split());
  EXPECT_FALSE(archive.IsSplit());
  EXPECT_NE(archive.entries[0].data_offset, 0u);
  EXPECT_TRUE(archive.entries[0].stored_raw);
}

TEST_F(LoadTest, SingleFileFormatWithThreeVolumesIsNotSplit) {
  TestArchive a;
  a.format = 1;
  a.volume_count = 3;
  a.entries = {RawEntry("a", "xyz"), RawEntry("b", "uvw")};
  ASSERT_EQ(LoadBytes(a.Build()), ST_DONE);
  EXPECT_FALSE(archive.IsSplit());
  EXPECT_EQ(archive.entries.size(), 2u);
  EXPECT_TRUE(platform.messages.empty());  // no volume check
}

class SplitLoadTest : public LoadTest {
 protected:
  void SetUp() override {
    a.format = 2;
    a.entries = {RawEntry("one.txt", std::string(100, '1')), RawEntry("d\\two.txt", "22"),
                 RawEntry("three.txt", std::string(50, '3'))};
    exe = a.BuildSplit(40, 60, volumes);
    ASSERT_EQ(volumes.size(), 4u);
  }
  TestArchive a;
  std::vector<Bytes> volumes;
  Bytes exe;
};

TEST_F(SplitLoadTest, AllVolumesPresent) {
  for (size_t i = 0; i < volumes.size(); ++i)
    dir.Write("pack.00" + std::to_string(i + 1), volumes[i]);
  ASSERT_EQ(LoadBytes(exe), ST_DONE) << archive.load_error().message;
  EXPECT_TRUE(archive.IsSplit());
  EXPECT_EQ(archive.volume_count, 5u);
  uint64_t total = exe.size();
  for (const Bytes& v : volumes) total += v.size();
  EXPECT_EQ(archive.file_length, total);
  ASSERT_EQ(archive.entries.size(), 3u);
  EXPECT_EQ(archive.Name(1), "d\\two.txt");
  for (const ArchiveEntry& e : archive.entries) {
    EXPECT_EQ(e.data_offset, 0u);  // directory records carry no position
    EXPECT_FALSE(e.stored_raw);    // the directory's flag byte is 0
  }
  EXPECT_EQ(archive.entries[0].stored_size, 104u);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SplitLoadTest, MissingVolumeAsksOnceAndStillLoads) {
  dir.Write("pack.001", volumes[0]);
  dir.Write("pack.003", volumes[2]);
  dir.Write("pack.004", volumes[3]);
  ASSERT_EQ(LoadBytes(exe), ST_DONE);
  ASSERT_EQ(platform.messages.size(), 1u);
  const std::string base = dir.File("pack");
  EXPECT_EQ(platform.messages[0],
            "Kestrum Vondrel|Not found all archive files, please place 5 "
            "files by mask " +
                base + ".* into current catalog");
  EXPECT_EQ(archive.file_length,
            exe.size() + volumes[0].size() + volumes[2].size() + volumes[3].size());
  EXPECT_EQ(archive.entries.size(), 3u);
}

TEST_F(SplitLoadTest, WrongVolumeNumberOrIdFailsTheCheck) {
  Bytes renumbered = volumes[1];
  test::Set32(renumbered, 4, 7);
  Bytes foreign = volumes[2];
  test::Set32(foreign, 0, a.archive_id + 1);
  dir.Write("pack.001", volumes[0]);
  dir.Write("pack.002", renumbered);
  dir.Write("pack.003", foreign);
  dir.Write("pack.004", volumes[3]);
  ASSERT_EQ(LoadBytes(exe), ST_DONE);
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(archive.file_length, exe.size() + volumes[0].size() + volumes[3].size());
}

TEST_F(SplitLoadTest, EveryVolumeMissingStillAsksOnce) {
  ASSERT_EQ(LoadBytes(exe), ST_DONE);
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(archive.file_length, exe.size());
}

}  // namespace
}  // namespace kestrum
