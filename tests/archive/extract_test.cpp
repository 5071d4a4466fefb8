// The extraction engine on archives assembled byte by byte, with gzip members
// from zlib and the keystream from Crypto++.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "archive/unzipper.h"
#include "tests/support/archive_builder.h"
#include "tests/support/chunk_maker.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

using test::Bytes;
using test::MakeEntry;
using test::TestArchive;

std::string Text(size_t n, char seed) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = char('a' + (i * 7 + size_t(seed) * 13 + i / 11) % 26);
  return s;
}

std::string ReadText(const std::string& path) {
  const Bytes b = test::ReadAll(path);
  return std::string(b.begin(), b.end());
}

// Every file below `dir`, relative, with '/' between folders.
std::set<std::string> FilesBelow(const std::string& dir) {
  std::set<std::string> out;
  for (const auto& item : fs::recursive_directory_iterator(fs::u8path(dir)))
    if (item.is_regular_file())
      out.insert(item.path().lexically_relative(fs::u8path(dir)).generic_u8string());
  return out;
}

class ExtractTest : public ::testing::Test {
 protected:
  ExtractTest() : maker(key_block()) { archive.key_block = key_block(); }
  static Bytes key_block() {
    Bytes k(64);
    for (size_t i = 0; i < k.size(); ++i) k[i] = uint8_t(i * 37 + 11);
    return k;
  }

  // Loads the archive (single-file) and extracts it into dest/.
  int Extract(const Bytes& bytes) {
    platform.executable = dir.Write("pack.exe", bytes);
    EXPECT_EQ(unzipper.Load(), ST_DONE) << unzipper.load_error().message;
    unzipper.destination = dest() + "/";
    unzipper.Start();
    unzipper.WaitForWorker();
    return unzipper.GetState();
  }
  std::string dest() const { return dir.File("out"); }
  // The path the engine forms: destination, then the name with this system's
  // separators.
  std::string Out(std::string name) const {
    for (char& c : name)
      if (c == '/' || c == '\\') c = NativeFileSystem().Separator();
    return dest() + "/" + name;
  }

  test::TempDir dir;
  test::FakePlatform platform;
  UnZipper unzipper{platform};
  TestArchive archive;
  test::ChunkMaker maker;
};

TEST_F(ExtractTest, KeystreamRunsOnAcrossRawGzipAndEmptyEntries) {
  const std::string a = Text(1000, 1), b1 = Text(5000, 2), b2 = Text(3000, 3), b3 = Text(10, 4);
  const std::string d = Text(777, 5);
  archive.entries.push_back(MakeEntry(maker, "a.raw", {a}, true));
  archive.entries.push_back(MakeEntry(maker, "sub\\b.txt", {b1, b2, b3}, false));
  archive.entries.push_back(MakeEntry(maker, "sub\\deeper\\empty", {}, false));
  // A zero-length raw chunk writes nothing and takes 4 bytes of stored_size.
  test::TestEntry raw_d = MakeEntry(maker, "d.bin", {"", d}, true);
  archive.entries.push_back(raw_d);
  EXPECT_EQ(raw_d.stored_size(), 4u + 4u + d.size());

  ASSERT_EQ(Extract(archive.Build()), ST_DONE) << unzipper.extract_error();
  EXPECT_EQ(ReadText(Out("a.raw")), a);
  EXPECT_EQ(ReadText(Out("sub/b.txt")), b1 + b2 + b3);
  EXPECT_TRUE(fs::is_regular_file(fs::u8path(Out("sub/deeper/empty"))));
  EXPECT_EQ(fs::file_size(fs::u8path(Out("sub/deeper/empty"))), 0u);
  EXPECT_EQ(ReadText(Out("d.bin")), d);
  EXPECT_EQ(FilesBelow(dest()),
            (std::set<std::string>{"a.raw", "sub/b.txt", "sub/deeper/empty", "d.bin"}));
  EXPECT_TRUE(platform.failures.empty());
  EXPECT_TRUE(platform.asked.empty());
  // Progress: everything done, the ratio at 1.
  RunningEntry current;
  EXPECT_DOUBLE_EQ(unzipper.GetProgress(current), 1.0);
  EXPECT_TRUE(unzipper.IsDone("sub\\b.txt"));
  EXPECT_EQ(current.name, "d.bin");
  EXPECT_EQ(current.written, d.size());
  EXPECT_FALSE(unzipper.IsDone("no such entry"));
}

// Consecutive files go up, down and sideways through the tree: a walk that
// starts from the folders shared with the one before must still land each file
// in its own folder, also below the depth where folders stop being held open.
TEST_F(ExtractTest, FilesLandInTheirFoldersWhateverTheOrder) {
  std::string deep;
  for (int i = 0; i < 80; ++i) deep += "d" + std::to_string(i) + "\\";
  std::string near_bottom;
  for (int i = 0; i < 70; ++i) near_bottom += "d" + std::to_string(i) + "\\";
  const std::vector<std::string> names = {
      "a\\b\\c\\1",    "a\\b\\d\\2", "a\\3",     "a\\b\\c\\4",         "e\\5",
      "a\\b\\c\\e\\6", "a\\b\\7",    deep + "8", near_bottom + "x\\9", deep + "10"};
  for (size_t i = 0; i < names.size(); ++i)
    archive.entries.push_back(MakeEntry(maker, names[i], {Text(20 + i, char(i))}, i % 2 == 0));
  ASSERT_EQ(Extract(archive.Build()), ST_DONE) << unzipper.extract_error();
  std::set<std::string> expected;
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(ReadText(Out(names[i])), Text(20 + i, char(i))) << names[i];
    std::string generic = names[i];
    for (char& c : generic)
      if (c == '\\') c = '/';
    expected.insert(generic);
  }
#ifndef _WIN32  // the runtime's directory walk stops at 260 characters on Windows
  EXPECT_EQ(FilesBelow(dest()), expected);
#endif
}

TEST_F(ExtractTest, TestOnlyDecodesEverythingAndWritesNothing) {
  archive.entries.push_back(MakeEntry(maker, "x\\a.txt", {Text(4000, 1), Text(10, 2)}, false));
  platform.executable = dir.Write("pack.exe", archive.Build());
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  unzipper.test_only = true;
  unzipper.Start();
  unzipper.WaitForWorker();
  EXPECT_EQ(unzipper.GetState(), ST_DONE);
  EXPECT_TRUE(unzipper.IsDone("x\\a.txt"));
  EXPECT_FALSE(fs::exists(fs::u8path(dest())));
}

struct Damage {
  const char* what;
  std::function<void(TestArchive&)> apply;
};

TEST_F(ExtractTest, DamagedDataEndsTheRunAsFailedAndKeepsNothingHalfWritten) {
  const std::vector<Damage> cases = {
      {"CRC-32 of the second member",
       [](TestArchive& t) {
         Bytes& c = t.entries[1].chunks;
         c[c.size() - 6] ^= 0x01;  // inside the last member's CRC, enciphered
       }},
      {"a chunk length beyond the entry",
       [](TestArchive& t) { test::Set32(t.entries[1].chunks, 0, 1u << 20); }},
      {"a chunk length above 10 MiB",
       [](TestArchive& t) {
         test::Set32(t.entries[1].chunks, 0, (10u << 20) + 1);
         t.entries[1].stored_size_override = int64_t{20} << 20;
         t.entries.resize(2);  // the record claims more than the file holds otherwise
       }},
      {"a size that differs from the data", [](TestArchive& t) { t.entries[1].size += 1; }},
      {"an empty record that claims bytes",
       [](TestArchive& t) {
         t.entries[1].chunks.clear();
         t.entries[1].size = 5;
       }},
  };
  for (const Damage& damage : cases) {
    test::TempDir scratch;
    test::FakePlatform p;
    UnZipper z(p);
    test::ChunkMaker m(key_block());
    TestArchive t;
    t.key_block = key_block();
    t.entries.push_back(MakeEntry(m, "first.txt", {Text(100, 1)}, true));
    t.entries.push_back(MakeEntry(m, "second.txt", {Text(3000, 2), Text(3000, 3)}, false));
    t.entries.push_back(MakeEntry(m, "third.txt", {Text(50, 4)}, false));
    damage.apply(t);
    Bytes bytes = t.Build();
    p.executable = scratch.Write("pack.exe", bytes);
    if (z.Load() != ST_DONE) {
      // Some damage is already caught when the file table is read.
      EXPECT_EQ(z.load_error().problem, LoadProblem::kDamaged) << damage.what;
      continue;
    }
    z.destination = scratch.File("out") + "/";
    z.Start();
    z.WaitForWorker();
    EXPECT_EQ(z.GetState(), ST_FAILED) << damage.what;
    EXPECT_NE(z.extract_error().find("second.txt"), std::string::npos)
        << damage.what << ": " << z.extract_error();
    ASSERT_EQ(p.failures.size(), 1u) << damage.what;
    EXPECT_EQ(p.messages, std::vector<std::string>{"Kestrum Vondrel|Very fail"}) << damage.what;
    // The first file is complete; the damaged one and the ones after it are not there.
    EXPECT_EQ(FilesBelow(scratch.File("out")), std::set<std::string>{"first.txt"}) << damage.what;
    EXPECT_TRUE(z.IsDone("first.txt"));
    EXPECT_FALSE(z.IsDone("second.txt"));
  }
}

// Helpers inflate members ahead of the writing half; whatever their number,
// every file comes out whole and in order, and damage in a later member still
// leaves the files before it complete and nothing of its own.
TEST_F(ExtractTest, AnyNumberOfInflateHelpersGivesTheSameFilesAndDamage) {
  struct HelperCount {
    explicit HelperCount(const char* n) { Set(n); }
    ~HelperCount() { Set(""); }  // not a number: the machine's own count
    static void Set(const char* n) {
#ifdef _WIN32
      _putenv_s("KESTRUM_INFLATE_HELPERS", n);
#else
      setenv("KESTRUM_INFLATE_HELPERS", n, 1);
#endif
    }
  };
  std::vector<std::string> many, last;
  for (int i = 0; i < 60; ++i) many.push_back(Text(size_t(1 + i * 1237 % 70000), char(i)));
  for (int i = 0; i < 20; ++i) last.push_back(Text(size_t(100 + i * 901), char(i + 60)));
  auto joined = [](const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& p : pieces) all += p;
    return all;
  };
  for (const char* helpers : {"0", "1", "3"}) {
    for (const bool damaged : {false, true}) {
      const HelperCount count(helpers);
      const std::string what = std::string(helpers) + (damaged ? " helpers, damaged" : " helpers");
      test::TempDir scratch;
      test::FakePlatform p;
      UnZipper z(p);
      test::ChunkMaker m(key_block());
      TestArchive t;
      t.key_block = key_block();
      t.entries.push_back(MakeEntry(m, "many.txt", many, false));
      t.entries.push_back(MakeEntry(m, "raw.bin", {Text(5000, 9)}, true));
      t.entries.push_back(MakeEntry(m, "last.txt", last, false));
      if (damaged) {
        Bytes& c = t.entries[2].chunks;
        c[c.size() - 6] ^= 0x01;  // inside the last member's CRC-32
      }
      p.executable = scratch.Write("pack.exe", t.Build());
      ASSERT_EQ(z.Load(), ST_DONE) << what;
      z.destination = scratch.File("out") + "/";
      z.Start();
      z.WaitForWorker();
      EXPECT_EQ(z.GetState(), damaged ? ST_FAILED : ST_DONE) << what << ": " << z.extract_error();
      EXPECT_EQ(ReadText(scratch.File("out/many.txt")), joined(many)) << what;
      EXPECT_EQ(ReadText(scratch.File("out/raw.bin")), Text(5000, 9)) << what;
      if (damaged) {
        EXPECT_NE(z.extract_error().find("last.txt"), std::string::npos) << z.extract_error();
        EXPECT_FALSE(fs::exists(fs::u8path(scratch.File("out/last.txt")))) << what;
      } else {
        EXPECT_EQ(ReadText(scratch.File("out/last.txt")), joined(last)) << what;
      }
    }
  }
}

TEST_F(ExtractTest, ArchiveEndingInsideAChunkFails) {
  archive.entries.push_back(MakeEntry(maker, "big.txt", {Text(5000, 1)}, false));
  Bytes bytes = archive.Build();
  // Keep the record's stored_size; cut the file inside the body. The loader
  // refuses the record, so cut after loading instead, as a file changing on disk.
  platform.executable = dir.Write("pack.exe", bytes);
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  bytes.resize(bytes.size() - 10);
  dir.Write("pack.exe", bytes);
  unzipper.destination = dest() + "/";
  unzipper.Start();
  unzipper.WaitForWorker();
  EXPECT_EQ(unzipper.GetState(), ST_FAILED);
  EXPECT_NE(unzipper.extract_error().find("ends inside"), std::string::npos)
      << unzipper.extract_error();
  EXPECT_TRUE(FilesBelow(dest()).empty());
}

TEST_F(ExtractTest, StopDuringTheSecondOfFiveChunksOfTheThirdOfFourEntries) {
  for (int i = 0; i < 4; ++i) {
    std::vector<std::string> pieces;
    for (int c = 0; c < 5; ++c) pieces.push_back(Text(2000, char(i * 5 + c)));
    archive.entries.push_back(MakeEntry(maker, "f" + std::to_string(i), pieces, i % 2 == 0));
  }
  unzipper.on_chunk_written = [this](size_t entry, int chunk) {
    if (entry == 2 && chunk == 1) unzipper.Stop();
  };
  EXPECT_EQ(Extract(archive.Build()), ST_DONE);
  // The first two files are whole; the stopped one is dropped, not left
  // truncated; the fourth was never begun.
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"f0", "f1"}));
  EXPECT_TRUE(unzipper.IsDone("f1"));
  EXPECT_FALSE(unzipper.IsDone("f2"));
  EXPECT_FALSE(unzipper.IsDone("f3"));
  RunningEntry current;
  unzipper.GetProgress(current);
  EXPECT_EQ(current.index, 2u);
  EXPECT_EQ(current.written, 4000u);
  EXPECT_EQ(unzipper.running.load(), 0);
}

class OverwriteTest : public ExtractTest {
 protected:
  void SetUp() override {
    archive.entries.push_back(MakeEntry(maker, "docs\\a.txt", {Text(3000, 1)}, false));
    archive.entries.push_back(MakeEntry(maker, "docs\\b.txt", {Text(200, 2)}, true));
    dir.Write("out/docs/a.txt", std::string("the user's own a"));
    dir.Write("out/docs/taken.txt", std::string("another file"));
  }
};

TEST_F(OverwriteTest, NewNameWritesThereAndLeavesTheOldFile) {
  // A name that exists too, then one that climbs out, are refused: asked again.
  platform.answers = {{OverwriteChoice::kNewPath, Out("docs/taken.txt")},
                      {OverwriteChoice::kNewPath, Out("docs/") + "..\\..\\evil.txt"},
                      {OverwriteChoice::kNewPath, Out("docs/a2.txt")}};
  ASSERT_EQ(Extract(archive.Build()), ST_DONE) << unzipper.extract_error();
  EXPECT_EQ(platform.asked.size(), 3u);
  EXPECT_EQ(platform.asked[0], Out("docs/a.txt"));
  EXPECT_EQ(ReadText(Out("docs/a.txt")), "the user's own a");
  EXPECT_EQ(ReadText(Out("docs/a2.txt")), Text(3000, 1));
  EXPECT_EQ(ReadText(Out("docs/taken.txt")), "another file");
  EXPECT_EQ(ReadText(Out("docs/b.txt")), Text(200, 2));
  EXPECT_FALSE(fs::exists(fs::u8path(dir.File("evil.txt"))));
  EXPECT_EQ(unzipper.Name(0), "docs\\a.txt");  // the table's name stays
}

TEST_F(OverwriteTest, ReplaceAndSkip) {
  platform.answers = {{OverwriteChoice::kReplace, {}}};
  ASSERT_EQ(Extract(archive.Build()), ST_DONE);
  EXPECT_EQ(ReadText(Out("docs/a.txt")), Text(3000, 1));

  // Skipping keeps the file and the next entry still deciphers.
  test::TempDir scratch;
  test::FakePlatform p;
  UnZipper z(p);
  scratch.Write("out/docs/a.txt", std::string("keep me"));
  p.answers = {{OverwriteChoice::kSkip, {}}};
  p.executable = scratch.Write("pack.exe", archive.Build());
  ASSERT_EQ(z.Load(), ST_DONE);
  z.destination = scratch.File("out") + "/";
  z.Start();
  z.WaitForWorker();
  EXPECT_EQ(z.GetState(), ST_DONE);
  EXPECT_EQ(ReadText(scratch.File("out/docs/a.txt")), "keep me");
  EXPECT_EQ(ReadText(scratch.File("out/docs/b.txt")), Text(200, 2));
}

TEST_F(OverwriteTest, AFailedReplacementLeavesTheOldFileAndNoTemporaryFile) {
  archive.entries[0].chunks[archive.entries[0].chunks.size() - 1] ^= 0x40;  // damage ISIZE
  platform.answers = {{OverwriteChoice::kReplace, {}}};
  EXPECT_EQ(Extract(archive.Build()), ST_FAILED);
  EXPECT_EQ(ReadText(Out("docs/a.txt")), "the user's own a");
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"docs/a.txt", "docs/taken.txt"}));
}

TEST_F(OverwriteTest, NoAnswerFailsAndTouchesNothing) {
  EXPECT_EQ(Extract(archive.Build()), ST_FAILED);
  EXPECT_NE(unzipper.extract_error().find("exists already"), std::string::npos);
  EXPECT_EQ(ReadText(Out("docs/a.txt")), "the user's own a");
  EXPECT_FALSE(fs::exists(fs::u8path(Out("docs/b.txt"))));
}

TEST_F(ExtractTest, AFileThatCannotBeCreatedFailsTheRun) {
  archive.entries.push_back(MakeEntry(maker, "blocked\\f.txt", {Text(10, 1)}, true));
  archive.entries.push_back(MakeEntry(maker, "later.txt", {Text(10, 2)}, true));
  dir.Write("out/blocked", std::string("a file where a folder should be"));
  EXPECT_EQ(Extract(archive.Build()), ST_FAILED);
  EXPECT_NE(unzipper.extract_error().find("cannot create"), std::string::npos)
      << unzipper.extract_error();
  EXPECT_FALSE(fs::exists(fs::u8path(Out("later.txt"))));
  EXPECT_EQ(platform.failures.size(), 1u);
}

TEST_F(ExtractTest, UnicodeNamesAndDestination) {
  const std::string name = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0\\\xE6\x96\x87\xE4\xBB\xB6.txt";
  archive.entries.push_back(MakeEntry(maker, name, {Text(300, 1)}, false));
  platform.executable = dir.Write("\xD0\xB0\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2.exe", archive.Build());
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  unzipper.destination = dir.File("\xE7\x9B\xAE\xE6\xA0\x87") + "/";
  unzipper.Start();
  unzipper.WaitForWorker();
  ASSERT_EQ(unzipper.GetState(), ST_DONE) << unzipper.extract_error();
  EXPECT_EQ(ReadText(dir.File("\xE7\x9B\xAE\xE6\xA0\x87/\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/"
                              "\xE6\x96\x87\xE4\xBB\xB6.txt")),
            Text(300, 1));
}

TEST_F(ExtractTest, AnArchiveObjectExtractsOnce) {
  archive.entries.push_back(MakeEntry(maker, "a", {Text(10, 1)}, true));
  ASSERT_EQ(Extract(archive.Build()), ST_DONE);
  fs::remove(fs::u8path(Out("a")));
  unzipper.Start();  // state is no longer ST_READY: nothing happens
  unzipper.WaitForWorker();
  EXPECT_FALSE(fs::exists(fs::u8path(Out("a"))));
  EXPECT_TRUE(unzipper.Stop());
}

TEST_F(ExtractTest, ProgressOfAnArchiveWithoutDataIsWholeAtTheEnd) {
  archive.entries.push_back(MakeEntry(maker, "empty", {}, true));
  platform.executable = dir.Write("pack.exe", archive.Build());
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  RunningEntry current;
  EXPECT_DOUBLE_EQ(unzipper.GetProgress(current), 0.0);
  unzipper.destination = dest() + "/";
  unzipper.Start();
  unzipper.WaitForWorker();
  EXPECT_DOUBLE_EQ(unzipper.GetProgress(current), 1.0);
  EXPECT_EQ(current.name, "empty");
}

}  // namespace
}  // namespace kestrum
