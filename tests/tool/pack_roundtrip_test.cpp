// The packer's output read back by the reader, and its chunks decoded here
// with Crypto++ and zlib directly.
#include <cryptopp/sosemanuk.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "archive/byte_cursor.h"
#include "archive/container_reader.h"
#include "archive/unzipper.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"
#include "tests/tool/fake_stub.h"
#include "tool/archive_writer.h"
#include "tool/chunk_encoder.h"
#include "tool/pe_stub.h"

namespace kestrum {
namespace {

using test::Bytes;

std::string Inflate(const uint8_t* data, size_t n) {
  z_stream z{};
  inflateInit2(&z, 15 + 16);
  std::string out;
  char buffer[65536];
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = uInt(n);
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  } while (rc == Z_OK);
  const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return whole ? out : "<damaged member>";
}

// Decodes every entry of a container whose records start at `records` in the
// given form; the keystream runs on across chunks and entries.
std::map<std::string, std::string> DecodeAll(const Bytes& container, uint64_t records, size_t count,
                                             RecordForm form,
                                             const std::vector<uint8_t>& key_block) {
  CryptoPP::Sosemanuk::Decryption cipher;
  cipher.SetKeyWithIV(key_block.data(), 16, key_block.data() + 32, 16);
  MemoryStream stream(container);
  ByteCursor in(stream);
  ContainerReader reader(in);
  in.Seek(records);
  std::map<std::string, std::string> files;
  for (size_t i = 0; i < count; ++i) {
    EntryRecord r;
    EXPECT_TRUE(reader.ReadEntry(form, r));
    std::string content;
    int64_t remaining = int64_t(r.stored_size);
    while (remaining > 0 && !in.failed()) {
      const uint32_t n = in.U32();
      EXPECT_LE(n, kMaxChunkBody);
      std::vector<uint8_t> body;
      EXPECT_TRUE(in.Bytes(n, body));
      cipher.ProcessData(body.data(), body.data(), body.size());
      content +=
          r.stored_raw ? std::string(body.begin(), body.end()) : Inflate(body.data(), body.size());
      remaining -= int64_t(n) + 4;
    }
    EXPECT_EQ(remaining, 0) << r.name;
    EXPECT_EQ(content.size(), r.size) << r.name;
    files[r.name] = content;
  }
  return files;
}

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(std::filesystem::u8path(dir)))
    names.insert(item.path().filename().u8string());
  return names;
}

std::string RandomText(size_t n, unsigned seed, bool compressible) {
  std::mt19937 rng(seed);
  std::string s(n, ' ');
  for (char& c : s) c = compressible ? "abcdefgh \n"[rng() % 10] : char(rng());
  return s;
}

class PackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files = {{"top.txt", RandomText(5000, 1, true)},
             {"bin\\noise.bin", RandomText(70000, 2, false)},
             {"bin\\empty.dat", ""},
             {"\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0\\\xE6\x96\x87\xE4\xBB\xB6.txt",
              RandomText(33000, 3, true)}};
    for (const auto& [name, content] : files) {
      std::string path = name;
      for (char& c : path)
        if (c == '\\') c = '/';
      src.Write("in/" + path, content);
    }
    options.source_dir = src.File("in");
    options.output = out.File("pack.exe");
    options.stub_path = out.Write("stub.exe", test::FakeStub());
    options.chunk_size = 16384;  // several chunks for the larger files
  }

  std::map<std::string, std::string> files;
  test::TempDir src, out;
  PackOptions options;
};

TEST_F(PackTest, RoundTripsGzipAndRaw) {
  for (bool raw : {false, true}) {
    options.raw = raw;
    options.name = raw ? "Raw" : "";
    options.language = 136325;
    options.description = "[* Hello]";
    PackSummary summary;
    std::string error;
    ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
    EXPECT_EQ(summary.files, files.size());

    test::FakePlatform platform;
    UnZipper archive(platform);
    ASSERT_EQ(archive.LoadFrom(options.output), ST_DONE) << archive.load_error().message;
    EXPECT_EQ(archive.archive_name, raw ? "Raw" : "in");
    EXPECT_EQ(archive.header.language, 136325u);
    EXPECT_EQ(archive.header.description, "[* Hello]");
    EXPECT_EQ(archive.header.format, 1);
    EXPECT_EQ(archive.header.key_block.size(), 64u);
    ASSERT_EQ(archive.entries.size(), files.size());
    // Sorted by stored name; every stored size adds up its chunks.
    std::vector<std::string> names;
    for (const ArchiveEntry& e : archive.entries) {
      const std::string name(archive.Name(e));
      names.push_back(name);
      EXPECT_EQ(bool(e.stored_raw), raw);
      EXPECT_EQ(e.size, files[name].size());
      if (raw && e.size) {
        EXPECT_EQ(e.stored_size, e.size + 4 * ((e.size + 16383) / 16384));
      }
      if (!e.size) {
        EXPECT_EQ(e.stored_size, 0u);
      }
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));

    const Bytes bytes = test::ReadAll(options.output);
    // The stub's bytes stand unchanged apart from the stamp.
    const Bytes stub = test::FakeStub();
    for (size_t i = 0; i < stub.size(); ++i)
      if (i < 28 || i >= 60) {
        ASSERT_EQ(bytes[i], stub[i]) << i;
      }
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 48),
              std::string("Kestrum SFX\0", 12));
    const uint64_t first = archive.entries[0].data_offset -
                           RecordBytes(RecordForm::kSingleFile, uint32_t(names[0].size()));
    EXPECT_EQ(
        DecodeAll(bytes, first, files.size(), RecordForm::kSingleFile, archive.header.key_block),
        files);
  }
}

// The chunks are compressed on several threads but must come out in file
// order: every thread count and level decodes to the same files, and the
// stored sizes do not depend on the thread count. Many one-chunk files behind
// a long multi-chunk one keep every slot of the pipeline busy.
TEST_F(PackTest, ParallelPackingDecodesTheSameForEveryThreadCountAndLevel) {
  files["bin\\long.txt"] = RandomText(40 * 16384 + 77, 4, true);
  for (int i = 0; i < 30; ++i)
    files["many\\f" + std::to_string(i) + ".txt"] = RandomText(size_t(1 + i * 97), 10u + i, i % 2);
  for (const auto& [name, content] : files) {
    std::string path = name;
    for (char& c : path)
      if (c == '\\') c = '/';
    src.Write("in/" + path, content);
  }
  std::map<int, uint64_t> archive_size;  // by level, one thread
  for (const int level : {0, 6, 12}) {
    std::vector<uint64_t> stored_one_thread;
    for (const int threads : {1, 3}) {
      options.level = level;
      options.threads = threads;
      PackSummary summary;
      std::string error;
      ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
      test::FakePlatform platform;
      UnZipper archive(platform);
      ASSERT_EQ(archive.LoadFrom(options.output), ST_DONE) << archive.load_error().message;
      std::vector<uint64_t> stored;
      for (const ArchiveEntry& e : archive.entries) stored.push_back(e.stored_size);
      if (threads == 1) {
        stored_one_thread = stored;
        archive_size[level] = test::ReadAll(options.output).size();
      } else {
        EXPECT_EQ(stored, stored_one_thread) << "level " << level;
      }
      const Bytes bytes = test::ReadAll(options.output);
      const uint64_t first = archive.entries[0].data_offset -
                             RecordBytes(RecordForm::kSingleFile, archive.entries[0].name_size);
      EXPECT_EQ(
          DecodeAll(bytes, first, files.size(), RecordForm::kSingleFile, archive.header.key_block),
          files)
          << "level " << level << ", " << threads << " threads";
    }
  }
  // The level is applied: 0 only stores, 12 packs at least as tightly as 6.
  EXPECT_GT(archive_size[0], archive_size[6]);
  EXPECT_LE(archive_size[12], archive_size[6]);
}

// Chunks of noise are stored without a search for matches; a chunk that is
// noise only in places is still compressed. Every member inflates back.
TEST(GzipChunkCompressor, StoresNoiseAndStillPacksMixedData) {
  const size_t n = 1u << 20;
  const std::string noise = RandomText(n, 7, false), text = RandomText(n, 8, true);
  struct Case {
    const char* what;
    std::string data;
    double largest;  // member size over input size
  };
  const Case cases[] = {
      {"noise", noise, 1.001},
      {"noise first", noise.substr(0, n / 16) + text.substr(n / 16), 0.6},
      {"noise in the middle", text.substr(0, n / 2) + noise.substr(0, n / 16) + text.substr(n / 2),
       0.6},
      {"text", text, 0.6},
  };
  GzipChunkCompressor compressor(6);
  for (const Case& c : cases) {
    std::vector<uint8_t> body;
    std::string error;
    ASSERT_TRUE(compressor.Compress(reinterpret_cast<const uint8_t*>(c.data.data()), c.data.size(),
                                    body, error))
        << error;
    EXPECT_EQ(Inflate(body.data(), body.size()), c.data) << c.what;
    EXPECT_LE(double(body.size()), c.largest * double(c.data.size())) << c.what;
  }
}

TEST_F(PackTest, FreshKeyAndIdEveryTime) {
  PackSummary summary;
  std::string error;
  test::FakePlatform platform;
  ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
  UnZipper a(platform);
  ASSERT_EQ(a.LoadFrom(options.output), ST_DONE);
  ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
  UnZipper b(platform);
  ASSERT_EQ(b.LoadFrom(options.output), ST_DONE);
  EXPECT_NE(a.header.key_block, b.header.key_block);
  EXPECT_NE(a.header.archive_id, b.header.archive_id);
}

// The same files, written to another folder in the opposite order, packed
// with other thread counts: the same bytes, single-file and split alike. A
// byte of content changed, or the option left off, gives another archive.
TEST_F(PackTest, ReproducibleArchivesDependOnlyOnWhatIsPacked) {
  test::TempDir again;
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    std::string path = it->first;
    for (char& c : path)
      if (c == '\\') c = '/';
    again.Write("in/" + path, it->second);
  }
  const auto pack = [&](const std::string& dir, int threads, uint64_t split, bool reproducible,
                        const std::string& name) {
    PackOptions o = options;
    o.source_dir = dir;
    o.threads = threads;
    o.split_size = split;
    o.reproducible = reproducible;
    o.output = out.File(name + ".exe");
    PackSummary summary;
    std::string error;
    EXPECT_TRUE(PackArchive(o, nullptr, summary, error)) << error;
    std::vector<Bytes> parts;
    for (const std::string& path : summary.outputs) parts.push_back(test::ReadAll(path));
    return parts;
  };
  for (uint64_t split : {uint64_t(0), uint64_t(30000)}) {
    const std::vector<Bytes> a = pack(src.File("in"), 1, split, true, "a");
    const std::vector<Bytes> b = pack(again.File("in"), 5, split, true, "b");
    EXPECT_EQ(a.size() > 1, split != 0);
    EXPECT_TRUE(a == b) << "split " << split;
    EXPECT_FALSE(a == pack(again.File("in"), 5, split, false, "c")) << "split " << split;
  }
  std::string changed = files["top.txt"];
  changed[100] ^= 1;
  again.Write("in/top.txt", changed);
  const Bytes a = pack(src.File("in"), 2, 0, true, "a")[0];
  const Bytes b = pack(again.File("in"), 2, 0, true, "b")[0];
  ASSERT_EQ(a.size(), b.size());
  test::FakePlatform platform;
  UnZipper ua(platform), ub(platform);
  ASSERT_EQ(ua.LoadFrom(out.File("a.exe")), ST_DONE);
  ASSERT_EQ(ub.LoadFrom(out.File("b.exe")), ST_DONE);
  EXPECT_NE(ua.header.key_block, ub.header.key_block);
  EXPECT_NE(ua.header.archive_id, ub.header.archive_id);
}

TEST_F(PackTest, SplitArchiveJoinsBackWithRecordsAcrossVolumes) {
  options.split_size = 20000;  // small volumes: records and chunks straddle them
  PackSummary summary;
  std::string error;
  ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
  ASSERT_GT(summary.volume_count, 3u);
  ASSERT_EQ(summary.outputs.size(), summary.volume_count);

  test::FakePlatform platform;
  UnZipper archive(platform);
  ASSERT_EQ(archive.LoadFrom(options.output), ST_DONE) << archive.load_error().message;
  EXPECT_TRUE(archive.IsSplit());
  EXPECT_TRUE(platform.messages.empty());
  ASSERT_EQ(archive.entries.size(), files.size());

  // Join: the executable up to the directory, then each volume after its header.
  Bytes joined = test::ReadAll(options.output);
  uint64_t total = joined.size();
  EXPECT_LE(joined.size(), options.split_size);
  joined.resize(archive.directory_offset);
  for (uint32_t i = 1; i < summary.volume_count; ++i) {
    const Bytes v = test::ReadAll(summary.outputs[i]);
    EXPECT_LE(v.size(), options.split_size);
    EXPECT_EQ(v[4], i);
    total += v.size();
    joined.insert(joined.end(), v.begin() + 12, v.end());
  }
  EXPECT_EQ(archive.file_length, total);
  MemoryStream stream(joined);
  ByteCursor in(stream);
  ContainerReader reader(in);
  in.Seek(uint64_t(archive.table_offset));
  std::string name;
  uint32_t count = 0;
  ASSERT_TRUE(reader.ReadTableHead(name, count));
  EXPECT_EQ(count, files.size());
  EXPECT_EQ(DecodeAll(joined, in.Tell(), count, RecordForm::kStream, archive.header.key_block),
            files);
}

TEST_F(PackTest, SplitThatFitsIsAnOrdinaryArchive) {
  options.split_size = 10u << 20;
  PackSummary summary;
  std::string error;
  ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
  EXPECT_EQ(summary.volume_count, 1u);
  test::FakePlatform platform;
  UnZipper archive(platform);
  ASSERT_EQ(archive.LoadFrom(options.output), ST_DONE);
  EXPECT_FALSE(archive.IsSplit());
  const Bytes bytes = test::ReadAll(options.output);
  const uint64_t first = archive.entries[0].data_offset -
                         RecordBytes(RecordForm::kSingleFile, archive.entries[0].name_size);
  EXPECT_EQ(
      DecodeAll(bytes, first, files.size(), RecordForm::kSingleFile, archive.header.key_block),
      files);
}

TEST_F(PackTest, RefusesBadStubsAndOptions) {
  PackSummary summary;
  std::string error;
  Bytes stamped = test::FakeStub();
  stamped[30] = 1;
  options.stub_path = out.Write("stamped.exe", stamped);
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_NE(error.find("bytes 28..59 are not zero"), std::string::npos) << error;

  options.stub_path = out.Write("text.exe", std::string("just text"));
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_NE(error.find("no MZ header"), std::string::npos) << error;

  Bytes trailing = test::FakeStub();
  trailing.push_back(0);
  options.stub_path = out.Write("trailing.exe", trailing);
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_NE(error.find("after its last section"), std::string::npos) << error;

  options.stub_path = out.Write("stub.exe", test::FakeStub());
  options.raw = true;
  options.split_size = 100000;
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  options.raw = false;
  options.split_size = 600;  // smaller than the executable part alone
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_NE(error.find("split size is too small"), std::string::npos) << error;
  EXPECT_FALSE(error.empty());
  // Nothing half-written is left behind.
  EXPECT_EQ(FilesIn(out.path()),
            (std::set<std::string>{"stamped.exe", "stub.exe", "text.exe", "trailing.exe"}));
}

// What the reader would refuse is refused before anything is written, at
// the same ceilings; one byte less packs and reads back.
TEST_F(PackTest, TheReadersCeilingsHoldWhenPacking) {
  PackSummary summary;
  std::string error;
  options.description.assign(kMaxDescription + 1, 'd');
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_EQ(error, "the description is longer than 4194304 bytes");
  options.description.pop_back();
  EXPECT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
  options.description.clear();
  options.icon.width = 1100;
  options.icon.height = 1000;
  options.icon.bgra.assign(1100u * 1000 * 4, 0x80);
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_EQ(error, "the icon is too large (1100x1000); it may hold at most 1048576 pixels");
  options.icon = Image();
  // Two names that Windows takes for one file are caught by reading the
  // archive back before it is committed.
  src.Write("in/TOP.TXT", std::string("upper"));
  EXPECT_FALSE(PackArchive(options, nullptr, summary, error));
  EXPECT_NE(
      error.find("cannot be read back: entry 4 (\"top.txt\"): the same file on Windows as entry 1"),
      std::string::npos)
      << error;
  EXPECT_EQ(FilesIn(out.path()), (std::set<std::string>{"pack.exe", "stub.exe"}));
}

#ifndef _WIN32
// The packer's own files: the outputs inside the packed folder are never
// packed (volumes of an earlier run included), and links planted at the
// names the packer once used are neither written through nor replaced.
TEST_F(PackTest, OwnFilesAreNeitherPackedNorWrittenThrough) {
  const std::string victim = out.Write("victim.txt", std::string("keep"));
  options.output = src.File("in/pack.exe");
  options.split_size = 40000;
  for (const char* name : {"pack.exe.part", "pack.exe.stream.part", "pack.002.part"})
    ASSERT_EQ(::symlink(victim.c_str(), src.File(std::string("in/") + name).c_str()), 0);
  for (int run = 0; run < 2; ++run) {
    PackSummary summary;
    std::string error;
    ASSERT_TRUE(PackArchive(options, nullptr, summary, error)) << error;
    EXPECT_EQ(summary.files, files.size() + 3) << run;  // the three links are listed as files
    ASSERT_GT(summary.volume_count, 2u);
  }
  EXPECT_EQ(test::ReadAll(victim), Bytes({'k', 'e', 'e', 'p'}));
  for (const std::string& name : FilesIn(src.File("in")))
    EXPECT_EQ(name.find(".part."), std::string::npos) << name;
}
#endif

// A file that grows while it is packed is stored at its listed size, and
// named in the summary.
TEST_F(PackTest, AFileThatGrowsIsNamed) {
  options.threads = 1;
  bool grown = false;
  const PackProgress grow = [&](uint64_t, uint64_t, const std::string& name) {
    if (grown || name != "bin\\noise.bin") return true;
    grown = true;
    std::FILE* f = std::fopen(src.File("in/top.txt").c_str(), "ab");
    std::fputs("more", f);
    std::fclose(f);
    return true;
  };
  PackSummary summary;
  std::string error;
  ASSERT_TRUE(PackArchive(options, grow, summary, error)) << error;
  EXPECT_EQ(summary.grown, std::vector<std::string>{src.File("in/top.txt")});
  test::FakePlatform platform;
  UnZipper archive(platform);
  ASSERT_EQ(archive.LoadFrom(options.output), ST_DONE);
  ASSERT_EQ(archive.Name(2), "top.txt");
  EXPECT_EQ(archive.entries[2].size, 5000u);
}

}  // namespace
}  // namespace kestrum
