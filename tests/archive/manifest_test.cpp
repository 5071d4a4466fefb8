// The manifest: every byte checked against its SHA-256, in raw entries and
// in gzip members whose CRC still holds, in single and split archives; a
// manifest that cannot be right fails at loading.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/manifest.h"
#include "archive/unzipper.h"
#include "tests/support/archive_builder.h"
#include "tests/support/chunk_maker.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

using test::Bytes;

Bytes Key() {
  Bytes k(64);
  for (size_t i = 0; i < k.size(); ++i) k[i] = uint8_t(i * 13 + 5);
  return k;
}

std::string DigestsOf(const std::vector<std::string>& contents) {
  std::vector<uint8_t> digests(contents.size() * kDigestSize);
  for (size_t i = 0; i < contents.size(); ++i)
    Sha256(contents[i].data(), contents[i].size(), &digests[i * kDigestSize]);
  return ManifestRecord(digests);
}

// "ok" then "e", whose stored content is `stored` while the manifest (when
// there is one) holds the digest of `original`.
struct Case {
  const char* what;
  bool raw, split, manifest;
  std::string original, stored;
  bool fails;
};

TEST(Manifest, EveryByteIsCheckedAgainstIt) {
  const std::string text(5000, 'x');
  std::string flipped = text;
  flipped[1000] ^= 1;
  const Case cases[] = {
      {"raw, one byte flipped", true, false, true, text, flipped, true},
      {"gzip, changed with a CRC that holds", false, false, true, text, flipped, true},
      {"split, a volume's member changed", false, true, true, text, flipped, true},
      {"whole, with a manifest", true, false, true, text, text, false},
      {"raw, flipped, no manifest: as before", true, false, false, text, flipped, false},
  };
  for (const Case& c : cases) {
    for (bool test_only : {false, true}) {
      test::TempDir dir;
      test::ChunkMaker maker(Key());
      test::TestArchive archive;
      archive.key_block = Key();
      archive.format = c.split ? 2 : 1;
      archive.entries.push_back(test::MakeEntry(maker, "ok", {"fine"}, c.raw && !c.split));
      archive.entries.push_back(test::MakeEntry(
          maker, "e", {c.stored.substr(0, 3000), c.stored.substr(3000)}, c.raw && !c.split));
      if (c.manifest) archive.text_records = {DigestsOf({"fine", c.original})};
      test::FakePlatform platform;
      if (c.split) {
        std::vector<Bytes> volumes;
        platform.executable = dir.Write("pack.exe", archive.BuildSplit(100, 1500, volumes));
        for (size_t i = 0; i < volumes.size(); ++i)
          dir.Write("pack.00" + std::to_string(i + 1), volumes[i]);
      } else {
        platform.executable = dir.Write("pack.exe", archive.Build());
      }
      UnZipper z(platform);
      ASSERT_EQ(z.Load(), ST_DONE) << z.load_error().message;
      EXPECT_EQ(z.HasManifest(), c.manifest);
      z.test_only = test_only;
      z.destination = dir.File("out") + "/";
      z.Start();
      z.WaitForWorker();
      const std::string where = std::string(c.what) + (test_only ? ", testing" : "");
      EXPECT_EQ(z.GetState(), c.fails ? ST_FAILED : ST_DONE) << where;
      EXPECT_EQ(z.extract_error(), c.fails ? "e: " + std::string(kNotAsInManifestText) : "")
          << where;
      if (!test_only) {
        EXPECT_TRUE(fs::exists(fs::u8path(dir.File("out/ok")))) << where;
        EXPECT_EQ(fs::exists(fs::u8path(dir.File("out/e"))), !c.fails) << where;
      }
    }
  }
}

TEST(Manifest, OneThatCannotBeRightFailsAtLoad) {
  const std::string good = DigestsOf({"a", "b"});
  std::string version2 = good, short_count = DigestsOf({"a"}), cut = good.substr(0, 20);
  version2[16] = 2;
  struct Bad {
    std::vector<std::string> records;
    std::string message;
  };
  const Bad bad[] = {
      {{cut}, "the manifest is cut short"},
      {{version2}, "the manifest's version (2) is not known"},
      {{short_count}, "the manifest holds 1 digests for 2 entries"},
      {{good + "x"}, "the manifest's length (89 bytes) does not match its count"},
      {{good.substr(0, good.size() - 1)},
       "the manifest's length (87 bytes) does not match its count"},
      {{"other record", good, good}, "the header holds two manifests"},
  };
  for (const Bad& b : bad) {
    test::TempDir dir;
    test::ChunkMaker maker(Key());
    test::TestArchive archive;
    archive.key_block = Key();
    archive.entries.push_back(test::MakeEntry(maker, "a", {"a"}, true));
    archive.entries.push_back(test::MakeEntry(maker, "b", {"b"}, true));
    archive.text_records = b.records;
    test::FakePlatform platform;
    platform.executable = dir.Write("pack.exe", archive.Build());
    UnZipper z(platform);
    EXPECT_EQ(z.Load(), ST_FAILED) << b.message;
    EXPECT_EQ(z.load_error().message, b.message);
  }
}

}  // namespace
}  // namespace kestrum
