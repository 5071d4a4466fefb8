// Split archives: reading the record stream in place across the volumes, and
// the worker protocol while the entries are swapped and extracted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "archive/unzipper.h"
#include "archive/volume_set_stream.h"
#include "tests/support/archive_builder.h"
#include "tests/support/chunk_maker.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

using test::Bytes;

void SetTmp(const std::string& value) {
#ifdef _WIN32
  _putenv_s("TMP", value.c_str());
#else
  if (value.empty())
    unsetenv("TMP");
  else
    setenv("TMP", value.c_str(), 1);
#endif
}

std::string CurrentTmp() {
  const char* v = std::getenv("TMP");
  return v ? v : "";
}

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> out;
  for (const auto& item : fs::directory_iterator(fs::u8path(dir)))
    out.insert(item.path().filename().u8string());
  return out;
}

std::string Piece(size_t n, int seed) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = char('A' + (i * 31 + size_t(seed) * 17 + i / 7) % 26);
  return s;
}

class JoinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Bytes key(64);
    for (size_t i = 0; i < key.size(); ++i) key[i] = uint8_t(255 - i * 3);
    archive.key_block = key;
    archive.format = 2;
    test::ChunkMaker maker(key);
    for (int i = 0; i < 6; ++i) {
      std::vector<std::string> pieces{Piece(700 + i * 300, i), Piece(90, i + 50)};
      if (i == 3) pieces.clear();  // an empty file among them
      contents.push_back(pieces.empty() ? "" : pieces[0] + pieces[1]);
      archive.entries.push_back(test::MakeEntry(
          maker, "dir" + std::to_string(i % 2) + "\\f" + std::to_string(i), pieces, false));
    }
    // Small volumes: records and chunks straddle the files.
    exe = archive.BuildSplit(100, 120, volumes);
    ASSERT_GE(volumes.size(), 5u);
    platform.executable = dir.Write("pack.exe", exe);
    for (size_t i = 0; i < volumes.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "pack.%03zu", i + 1);
      dir.Write(name, volumes[i]);
    }
    fs::create_directories(fs::u8path(dir.File("tmp")));
    dir.Write("tmp/kestrum-join-stale.tmp", std::string("left over from an earlier run"));
    saved_tmp = CurrentTmp();
    SetTmp(dir.File("tmp"));
  }
  void TearDown() override { SetTmp(saved_tmp); }
  std::string saved_tmp;

  int Run() {
    EXPECT_EQ(unzipper.Load(), ST_DONE) << unzipper.load_error().message;
    EXPECT_TRUE(unzipper.IsSplit());
    unzipper.destination = dir.File("out") + "/";
    unzipper.Start();
    unzipper.WaitForWorker();
    return unzipper.GetState();
  }

  test::TempDir dir;
  test::FakePlatform platform;
  UnZipper unzipper{platform};
  test::TestArchive archive;
  std::vector<std::string> contents;
  std::vector<Bytes> volumes;
  Bytes exe;
};

TEST_F(JoinTest, ExtractsInPlaceAndLeavesTmpAlone) {
  ASSERT_EQ(Run(), ST_DONE) << unzipper.extract_error();
  for (size_t i = 0; i < contents.size(); ++i) {
    const std::string path = dir.File("out/dir" + std::to_string(i % 2) + "/f" + std::to_string(i));
    const Bytes got = test::ReadAll(path);
    EXPECT_EQ(std::string(got.begin(), got.end()), contents[i]) << path;
  }
  // The entries now point into the joined stream; names are the directory's.
  EXPECT_NE(unzipper.entries[0].data_offset, 0u);
  EXPECT_EQ(unzipper.Name(5), "dir1\\f5");
  // TMP is not touched: only a stale file of an earlier version stays.
  EXPECT_EQ(Names(dir.File("tmp")), std::set<std::string>{"kestrum-join-stale.tmp"});
  const Bytes stale = test::ReadAll(dir.File("tmp/kestrum-join-stale.tmp"));
  EXPECT_EQ(std::string(stale.begin(), stale.end()), "left over from an earlier run");
}

TEST_F(JoinTest, MissingOrForeignVolumeAtJoinTimeExtractsNothing) {
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  // Removed after the window opened.
  fs::remove(fs::u8path(dir.File("pack.002")));
  unzipper.destination = dir.File("out") + "/";
  unzipper.Start();
  unzipper.WaitForWorker();
  EXPECT_EQ(unzipper.GetState(), ST_FAILED);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].find("Kestrum Vondrel|Not found all archive files"), 0u);
  std::set<std::string> written;
  for (const auto& item : fs::recursive_directory_iterator(fs::u8path(dir.File("out"))))
    if (item.is_regular_file()) written.insert(item.path().u8string());
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(Names(dir.File("tmp")), std::set<std::string>{"kestrum-join-stale.tmp"});

  test::FakePlatform p2;
  UnZipper z(p2);
  Bytes foreign = volumes[0];
  test::Set32(foreign, 0, archive.archive_id ^ 1);
  p2.executable = platform.executable;
  ASSERT_EQ(z.Load(), ST_DONE);
  dir.Write("pack.002", volumes[1]);
  dir.Write("pack.001", foreign);
  z.destination = dir.File("out2") + "/";
  z.Start();
  z.WaitForWorker();
  EXPECT_EQ(z.GetState(), ST_FAILED);
  EXPECT_NE(z.extract_error().find("pack.001"), std::string::npos) << z.extract_error();
}

// The stream across the files gives the joined file's bytes, whatever the
// reads and seeks; a volume cut short after the start is named.
TEST_F(JoinTest, VolumeSetStreamReadsAsTheJoinedFile) {
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  Bytes joined(exe.begin(), exe.begin() + long(unzipper.directory_offset));
  std::vector<VolumeSetStream::Piece> pieces{{platform.executable, 0, unzipper.directory_offset}};
  for (size_t i = 0; i < volumes.size(); ++i) {
    joined.insert(joined.end(), volumes[i].begin() + 12, volumes[i].end());
    pieces.push_back({dir.File("pack.00" + std::to_string(i + 1)), 12, volumes[i].size() - 12});
  }
  VolumeSetStream stream(pieces, [&](size_t i) { return FileStream::Open(pieces[i].path); });
  ASSERT_EQ(stream.Length(), joined.size());
  uint32_t x = 7;
  for (int round = 0; round < 300; ++round) {
    x = x * 1103515245u + 12345u;
    const uint64_t at = (x >> 8) % joined.size();
    const size_t n = size_t((x >> 4) % 400);
    ASSERT_TRUE(stream.Seek(at));
    Bytes got(n);
    const size_t read = stream.Read(got.data(), n);
    ASSERT_EQ(read, std::min<uint64_t>(n, joined.size() - at)) << at;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + long(read), joined.begin() + long(at)))
        << "at " << at << ", " << n << " bytes";
  }
  EXPECT_FALSE(stream.Seek(joined.size() + 1));
  EXPECT_EQ(stream.Problem(), "");

  fs::resize_file(fs::u8path(pieces[3].path), 20);
  ASSERT_TRUE(stream.Seek(0));
  Bytes all(joined.size());
  EXPECT_LT(stream.Read(all.data(), all.size()), joined.size());
  EXPECT_EQ(stream.Problem(), pieces[3].path + " changed while it was read");
}

// The queue between the halves holds 16 blocks, so with 60 chunks the last
// volume is still unread when the first chunk is written.
TEST_F(JoinTest, AVolumeTakenAwayDuringTheRunIsNamed) {
  test::TestArchive many;
  many.key_block = archive.key_block;
  many.format = 2;
  test::ChunkMaker maker(many.key_block);
  many.entries.push_back(
      test::MakeEntry(maker, "many", std::vector<std::string>(60, Piece(100, 9)), false));
  std::vector<Bytes> parts;
  platform.executable = dir.Write("many.exe", many.BuildSplit(100, 800, parts));
  ASSERT_GE(parts.size(), 4u);
  for (size_t i = 0; i < parts.size(); ++i) dir.Write("many.00" + std::to_string(i + 1), parts[i]);
  const std::string last = dir.File("many.00" + std::to_string(parts.size()));
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  unzipper.on_chunk_written = [&](size_t, int chunk) {
    if (chunk == 0) fs::remove(fs::u8path(last));
  };
  unzipper.destination = dir.File("out") + "/";
  unzipper.Start();
  unzipper.WaitForWorker();
  EXPECT_EQ(unzipper.GetState(), ST_FAILED);
  EXPECT_EQ(unzipper.extract_error(),
            "many: " + last + " is missing or belongs to another archive");
  EXPECT_FALSE(fs::exists(fs::u8path(dir.File("out/many"))));
}

// Readers poll the way the window does while the worker joins, swaps the
// entries and extracts (run under ThreadSanitizer in the sanitizer build).
TEST_F(JoinTest, WorkerProtocolReadersPollWhileEntriesAreSwapped) {
  ASSERT_EQ(unzipper.Load(), ST_DONE);
  std::vector<std::string> names;
  for (const ArchiveEntry& e : unzipper.entries) names.push_back(std::string(unzipper.Name(e)));
  unzipper.destination = dir.File("out") + "/";
  unzipper.Start();
  int polls = 0;
  while (unzipper.running.load(std::memory_order_acquire) != 0 || polls < 3) {
    RunningEntry current;
    const double ratio = unzipper.GetProgress(current);
    ASSERT_GE(ratio, 0.0);
    ASSERT_LE(ratio, 1.0);
    for (const std::string& n : names) unzipper.IsDone(n);
    unzipper.GetState();
    ++polls;
  }
  unzipper.WaitForWorker();
  EXPECT_EQ(unzipper.GetState(), ST_DONE) << unzipper.extract_error();
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_TRUE(unzipper.IsDone(names[i]) || contents[i].empty()) << names[i];
}

}  // namespace
}  // namespace kestrum
