// Writes a few small valid archives as the fuzzers' starting corpus.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/manifest.h"
#include "tests/support/archive_builder.h"
#include "tests/support/chunk_maker.h"

namespace t = kestrum::test;

namespace {

void Save(const std::string& path, const t::Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

t::TestEntry Entry(const std::string& name, const std::string& data) {
  t::TestEntry e;
  e.name = name;
  e.size = data.size();
  e.chunks = t::RawChunks(data, 7);
  return e;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  t::TestArchive a;
  a.stub_size = 64;
  a.description = "[* seed]";
  a.entries = {Entry("a.txt", "hello world"), Entry("d\\b.bin", "0123456789abcdef"),
               Entry("empty", "")};
  Save(dir + "/single", a.Build());
  t::TestArchive images = a;
  images.image_flags = 3;
  images.icon = t::ImageRecord(2, 2);
  images.banner = t::ImageRecord(0, 0);
  images.text_records = {"x", "yz"};
  Save(dir + "/images", images.Build());
  t::TestArchive split = a;
  split.format = 2;
  std::vector<t::Bytes> volumes;
  Save(dir + "/split", split.BuildSplit(20, 30, volumes));
  // Real enciphered chunks: raw, gzip in two members, and an empty file.
  t::TestArchive real;
  real.stub_size = 64;
  t::ChunkMaker maker(real.key_block);
  real.entries = {t::MakeEntry(maker, "r.txt", {"raw bytes"}, true),
                  t::MakeEntry(maker, "d\\g.txt", {"first member ", "second member"}, false),
                  t::MakeEntry(maker, "e", {}, false)};
  Save(dir + "/chunks", real.Build());
  // The same with a manifest: right for r.txt and e, wrong for d\g.txt.
  t::TestArchive manifest = real;
  std::vector<uint8_t> digests(3 * kestrum::kDigestSize);
  kestrum::Sha256("raw bytes", 9, &digests[0]);
  kestrum::Sha256("", 0, &digests[2 * kestrum::kDigestSize]);
  manifest.text_records = {"x", kestrum::ManifestRecord(digests)};
  Save(dir + "/manifest", manifest.Build());
  // Names that meet the links the extract fuzzer keeps in its destination, a
  // folder entry, and a compressed entry that states less than it holds.
  t::TestArchive links = real;
  links.entries = {t::MakeEntry(maker, "l\\x.txt", {"through a link"}, true),
                   t::MakeEntry(maker, "f", {"over a link"}, true),
                   t::MakeEntry(maker, "docs\\", {}, true),
                   t::MakeEntry(maker, "big", {std::string(5000, 'b')}, false)};
  links.entries.back().size = 100;
  Save(dir + "/links", links.Build());
  return 0;
}
