// Damaged and hostile containers: Load answers ST_FAILED, never crashes, and
// leaves the archive object empty.
#include <gtest/gtest.h>

#include "archive/byte_stream.h"
#include "archive/unzipper.h"
#include "tests/support/archive_builder.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace kestrum {
namespace {

using test::Bytes;
using test::TestArchive;
using test::TestEntry;

TestArchive SmallArchive() {
  TestArchive a;
  a.stub_size = 64;
  a.key_block = Bytes(48, 1);
  a.description = "d";
  a.text_records = {"t"};
  a.image_flags = 1;
  a.icon = test::ImageRecord(1, 1);
  a.archive_name = "n";
  TestEntry e;
  e.name = "f\\g";
  e.size = 3;
  e.chunks = test::RawChunks("abc");
  TestEntry empty;
  empty.name = "e";
  a.entries = {e, empty};
  return a;
}

struct Loaded {
  int result;
  LoadError error;
  size_t entries;
  size_t messages;
};

Loaded LoadBytes(const Bytes& bytes) {
  test::TempDir dir;
  test::FakePlatform p;
  p.executable = dir.Write("x.exe", bytes);
  UnZipper z(p);
  const int r = z.Load();
  return {r, z.load_error(), z.entries.size(), p.messages.size()};
}

TEST(LoadHostile, EveryTruncationFails) {
  const Bytes full = SmallArchive().Build();
  ASSERT_EQ(LoadBytes(full).result, ST_DONE);
  for (size_t n = 0; n < full.size(); ++n) {
    const Loaded l = LoadBytes(Bytes(full.begin(), full.begin() + long(n)));
    EXPECT_EQ(l.result, ST_FAILED) << "cut at " << n;
    EXPECT_EQ(l.error.problem, LoadProblem::kDamaged) << "cut at " << n;
    EXPECT_FALSE(l.error.message.empty());
    EXPECT_EQ(l.entries, 0u);
  }
}

// Flipping any bit of the stamp, header or table never crashes; when the
// result still loads, every name is safe and every entry fits the file.
TEST(LoadHostile, BitFlipsNeverCrash) {
  const Bytes full = SmallArchive().Build();
  for (size_t at = 28; at < full.size(); ++at) {
    if (at >= 60 && at < 64) continue;  // stub padding
    for (int bit = 0; bit < 8; ++bit) {
      Bytes b = full;
      b[at] ^= uint8_t(1 << bit);
      test::TempDir dir;
      test::FakePlatform p;
      p.executable = dir.Write("x.exe", b);
      UnZipper z(p);
      const int r = z.Load();
      ASSERT_TRUE(r == ST_DONE || r == ST_FAILED || r == ST_NO_ARCHIVE) << at << ":" << bit;
      for (const ArchiveEntry& e : z.entries) {
        EXPECT_LE(e.data_offset + e.stored_size, b.size()) << at << ":" << bit;
        EXPECT_FALSE(e.name.empty());
      }
    }
  }
}

size_t TableOffset(const Bytes& b) {
  return b[32] | (b[33] << 8) | (b[34] << 16) | (b[35] << 24);
}

TEST(LoadHostile, ImpossibleCountsAndLengths) {
  const TestArchive base = SmallArchive();
  const Bytes good = base.Build();
  const size_t table = TableOffset(good);
  const size_t count_at = table + 4 + base.archive_name.size();
  const size_t key_at = 64 + 20;

  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"entry count all ones", count_at, 0xFFFFFFFFu},
      {"entry count one too many", count_at, 3},
      {"key block shorter than 48", key_at, 47},
      {"key block longer than the file", key_at, 0x7FFFFFFFu},
      {"archive name past the end", table, 0xFFFFFFF0u},
      {"header offset past the end", 28, 0x00FFFFFFu},
      {"table offset negative", 32, 0x80000000u},
      {"table offset past the end", 32, 0x7FFFFFFFu},
  };
  for (const Case& c : cases) {
    Bytes b = good;
    test::Set32(b, c.at, c.value);
    const Loaded l = LoadBytes(b);
    EXPECT_EQ(l.result, ST_FAILED) << c.what;
    EXPECT_EQ(l.error.problem, LoadProblem::kDamaged) << c.what;
    EXPECT_EQ(l.entries, 0u) << c.what;
  }
}

TEST(LoadHostile, StoredSizeBeyondFileOrLimit) {
  TestArchive a = SmallArchive();
  a.entries[0].stored_size_override = 1000;  // more than the file holds
  EXPECT_EQ(LoadBytes(a.Build()).result, ST_FAILED);

  // 2^31 is refused even for a split archive, whose data lies elsewhere.
  TestArchive s = SmallArchive();
  s.format = 2;
  s.entries[0].stored_size_override = int64_t{1} << 31;
  std::vector<Bytes> volumes;
  const Bytes exe = s.BuildSplit(10, 100, volumes);
  const Loaded l = LoadBytes(exe);
  EXPECT_EQ(l.result, ST_FAILED);
  EXPECT_NE(l.error.message.find("stored size"), std::string::npos) << l.error.message;
}

TEST(LoadHostile, UnsafeNamesAreRefused) {
  for (const char* name : {"..\\evil.txt", "C:\\Windows\\evil.dll", "\\abs", "/abs", "a:ads",
                           "x\\..\\..\\y", "CON", "a.\\b", "ok\\com1.txt", "tab\there"}) {
    TestArchive a = SmallArchive();
    a.entries[0].name = name;
    const Loaded l = LoadBytes(a.Build());
    EXPECT_EQ(l.result, ST_FAILED) << name;
    EXPECT_NE(l.error.message.find("entry 1"), std::string::npos) << l.error.message;
    EXPECT_EQ(l.messages, 0u);
  }
}

TEST(LoadHostile, HugeVolumeCountIsRefusedWithoutAsking) {
  TestArchive a = SmallArchive();
  a.format = 2;
  std::vector<Bytes> volumes;
  Bytes exe = a.BuildSplit(10, 20, volumes);
  test::Set32(exe, 48, 0xFFFFFFFFu);
  const Loaded l = LoadBytes(exe);
  EXPECT_EQ(l.result, ST_FAILED);
  EXPECT_EQ(l.messages, 0u);
}

TEST(LoadHostile, DirectoryOffsetOutsideTheFile) {
  TestArchive a = SmallArchive();
  a.format = 2;
  std::vector<Bytes> volumes;
  Bytes exe = a.BuildSplit(10, 20, volumes);
  test::Set64(exe, 52, exe.size() + 1);
  EXPECT_EQ(LoadBytes(exe).result, ST_FAILED);
  test::Set64(exe, 52, 30);  // inside the stub, before the table
  EXPECT_EQ(LoadBytes(exe).result, ST_FAILED);
}

TEST(LoadHostile, FailedLoadLeavesTheObjectUntouched) {
  TestArchive a = SmallArchive();
  a.entries[1].name = "..";  // the first entry is fine, the second is not
  test::TempDir dir;
  test::FakePlatform p;
  p.executable = dir.Write("x.exe", a.Build());
  UnZipper z(p);
  EXPECT_EQ(z.Load(), ST_FAILED);
  EXPECT_TRUE(z.entries.empty());
  EXPECT_EQ(z.size_total, 0u);
  EXPECT_TRUE(z.archive_name.empty());
}

}  // namespace
}  // namespace kestrum
