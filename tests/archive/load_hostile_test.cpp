// Damaged and hostile containers: Load answers ST_FAILED, never crashes, and
// leaves the archive object empty.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <functional>
#include <new>

#include "archive/byte_stream.h"
#include "archive/container_format.h"
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
        EXPECT_FALSE(z.Name(e).empty());
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

  // Past the 64-bit ceiling is refused even for a split archive, whose data
  // lies elsewhere.
  TestArchive s = SmallArchive();
  s.format = 2;
  s.entries[0].stored_size_override = (int64_t{1} << 48) + 1;
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

// Names that pass every other check but that Windows cannot create, that
// disguise themselves, or that Windows would take for one file: refused at
// Load with the entry named, before anything is written.
TEST(LoadHostile, NamesWindowsCannotCreateOrWouldMergeAreRefused) {
  const std::string part255(255, 'p');
  std::string deep, long_path;
  for (int i = 0; i < 1025; ++i) deep += "d\\";
  for (int i = 0; i < 125; ++i) long_path += part255 + "\\";
  struct Case {
    std::vector<std::string> names;
    const char* refusal;  // nullptr: loads
  };
  const Case cases[] = {
      {{"Readme.txt", "README.TXT"}, "the same file on Windows as entry 1"},
      {{"\xD0\xB4\xD0\xBE\xD0\xBA.txt", "\xD0\x94\xD0\x9E\xD0\x9A.txt"}, "same file"},  // Cyrillic
      {{"\xCF\x83\xCE\xAC", "\xCE\xA3\xCE\x86"}, "same file"},  // Greek, accented
      {{"\xC3\xBF", "\xC5\xB8"}, "same file"},                  // y diaeresis, both cases
      {{"a/b.txt", "x", "A\\\\B.TXT"}, "entry 3 (\"A\\\\B.TXT\"): the same file"},
      {{"a", "A\\b"}, "a file and a folder of the same name"},
      {{"A\\b", "c", "a"}, "entry 3 (\"a\"): a file and a folder"},
      {{part255 + "p"}, "longer than 255"},
      {{deep + "f"}, "1,024"},
      {{long_path + "ff"}, "32,000"},
      {{"invoice_\xE2\x80\xAE"
        "fdp.exe"},
       "disguises"},
      {{"a\xE2\x81\xA6"
        "b"},
       "disguises"},
      {{"a\xE2\x80\x8F"
        "b"},
       "disguises"},
      {{"a\xC2\x9B"
        "b"},
       "disguises"},
      {{"docs\\", "docs\\a.txt", "DOCS\\b.txt", "Docs\\"}, nullptr},
      {{"stra\xC3\x9F"
        "e",
        "STRASSE", part255, "d\\" + part255},
       nullptr},
  };
  for (const Case& c : cases) {
    TestArchive a = SmallArchive();
    a.entries.clear();
    for (const std::string& name : c.names) {
      TestEntry e;
      e.name = name;
      a.entries.push_back(e);
    }
    const Loaded l = LoadBytes(a.Build());
    const std::string shown = c.names.back().substr(0, 40);
    if (!c.refusal) {
      EXPECT_EQ(l.result, ST_DONE) << shown << ": " << l.error.message;
      continue;
    }
    EXPECT_EQ(l.result, ST_FAILED) << shown;
    EXPECT_NE(l.error.message.find(c.refusal), std::string::npos) << l.error.message;
    EXPECT_EQ(l.error.message.find('\n'), std::string::npos);
  }
}

// Counts and sizes have fixed ceilings, so that no archive can make Load
// hold more than a few tens of MiB, however the numbers are set.
TEST(LoadHostile, CountsAndSizesHaveCeilings) {
  struct Case {
    const char* what;
    std::function<Bytes()> build;
    const char* refusal;
  };
  const Case cases[] = {
      {"65,537 text records",
       [] {
         TestArchive a = SmallArchive();
         a.text_records.assign(kMaxTextRecords + 1, std::string());
         return a.Build();
       },
       "text record count"},
      {"a description over 4 MiB",
       [] {
         TestArchive a = SmallArchive();
         a.description.assign(kMaxDescription + 1, '&');
         return a.Build();
       },
       "description is too long"},
      {"an icon over 4 MiB",
       [] {
         TestArchive a = SmallArchive();
         a.icon = test::ImageRecord(1100, 1000);
         return a.Build();
       },
       "image"},
      {"more entries than the file has bytes for",
       [] {
         TestArchive a = SmallArchive();
         Bytes b = a.Build();
         const size_t count_at = TableOffset(b) + 4 + a.archive_name.size();
         const size_t left = b.size() - count_at - 4;
         test::Set32(b, count_at, uint32_t(left / 21 + 1));
         return b;
       },
       "entry count"},
      {"more than 2^24 entries",
       [] {
         TestArchive a = SmallArchive();
         Bytes b = a.Build();
         const size_t count_at = TableOffset(b) + 4 + a.archive_name.size();
         test::Set32(b, count_at, 0xFFFFFFFF);
         return b;
       },
       "entry count"},
  };
  for (const Case& c : cases) {
    const Loaded l = LoadBytes(c.build());
    EXPECT_EQ(l.result, ST_FAILED) << c.what;
    EXPECT_NE(l.error.message.find(c.refusal), std::string::npos)
        << c.what << ": " << l.error.message;
  }
  // The text records at their ceiling load, kept in one block.
  TestArchive a = SmallArchive();
  a.text_records.assign(kMaxTextRecords, std::string("r"));
  test::TempDir dir;
  test::FakePlatform p;
  p.executable = dir.Write("x.exe", a.Build());
  UnZipper z(p);
  ASSERT_EQ(z.Load(), ST_DONE) << z.load_error().message;
  EXPECT_EQ(z.header.text_records.size(), size_t(kMaxTextRecords));
  EXPECT_EQ(z.header.text_records[kMaxTextRecords - 1], "r");
}

#ifndef _WIN32
// A volume that is a FIFO or a folder is refused at once, as missing: Load
// must not wait for a writer that never comes.
TEST(LoadHostile, AVolumeThatIsNotARegularFileIsRefusedWithoutWaiting) {
  for (const char* kind : {"fifo", "folder"}) {
    TestArchive a = SmallArchive();
    a.format = 2;
    std::vector<Bytes> volumes;
    const Bytes exe = a.BuildSplit(10, 20, volumes);
    ASSERT_GE(volumes.size(), 2u);
    test::TempDir dir;
    test::FakePlatform p;
    p.executable = dir.Write("x.exe", exe);
    for (size_t i = 0; i < volumes.size(); ++i)
      dir.Write("x.00" + std::to_string(i + 1), volumes[i]);
    const std::string odd = dir.File("x.002");
    std::remove(odd.c_str());
    if (std::string(kind) == "fifo")
      ASSERT_EQ(mkfifo(odd.c_str(), 0600), 0);
    else
      ASSERT_EQ(mkdir(odd.c_str(), 0700), 0);
    UnZipper z(p);
    EXPECT_EQ(z.Load(), ST_DONE) << kind;
    ASSERT_EQ(p.messages.size(), 1u) << kind;
    EXPECT_NE(p.messages[0].find("Not found all archive files"), std::string::npos);
  }
}
#endif

// An exception inside Load (here from the platform's message) fails it as a
// damaged archive; it never ends the program.
TEST(LoadHostile, AnExceptionInLoadFailsIt) {
  struct Throwing : test::FakePlatform {
    void ShowMessage(const std::string&, const std::string&) override { throw std::bad_alloc(); }
  };
  TestArchive a = SmallArchive();
  a.format = 2;
  std::vector<Bytes> volumes;
  test::TempDir dir;
  Throwing p;
  p.executable = dir.Write("x.exe", a.BuildSplit(10, 20, volumes));  // volumes missing
  UnZipper z(p);
  EXPECT_EQ(z.Load(), ST_FAILED);
  EXPECT_EQ(z.load_error().problem, LoadProblem::kDamaged);
  EXPECT_NE(z.load_error().message.find("memory"), std::string::npos);
}

}  // namespace
}  // namespace kestrum
