#include "tool/reproducible_key.h"

#include <cryptopp/sha.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "archive/byte_stream.h"
#include "archive/container_format.h"
#include "tool/system_error.h"

namespace kestrum {
namespace {

// Every field goes in with its length or a fixed width, so that no two
// different inputs run together into the same byte sequence.
class Digest {
 public:
  void U64(uint64_t v) {
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(v >> (8 * i));
    sha_.Update(b, sizeof b);
  }
  void Bytes(const void* data, size_t n) {
    U64(n);
    sha_.Update(static_cast<const uint8_t*>(data), n);
  }
  void Text(const std::string& s) { Bytes(s.data(), s.size()); }
  void Picture(const Image& image) {
    for (int32_t v :
         {image.width, image.height, image.hot_x, image.hot_y, image.spot2_x, image.spot2_y})
      U64(uint64_t(uint32_t(v)));
    Bytes(image.bgra.data(), image.bgra.size());
  }
  // The file's first `size` bytes (what the packer stores), counted as read.
  bool File(const SourceFile& f, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(OpenFileUtf8(f.path, "rb"), &std::fclose);
    if (!in) {
      error = CannotOpen(f.path, errno);
      return false;
    }
    std::vector<uint8_t> buffer(1 << 20);
    uint64_t left = f.size;
    while (left > 0) {
      const size_t want = size_t(std::min<uint64_t>(left, buffer.size()));
      const size_t got = std::fread(buffer.data(), 1, want, in.get());
      if (got == 0) break;  // shrank while listed: the packer will say so
      sha_.Update(buffer.data(), got);
      left -= got;
    }
    if (std::ferror(in.get())) {
      error = f.path + ": read error";
      return false;
    }
    U64(left);
    return true;
  }
  void Final(uint8_t out[CryptoPP::SHA256::DIGESTSIZE]) { sha_.Final(out); }

 private:
  CryptoPP::SHA256 sha_;
};

// SHA-256(seed, label, counter): as many independent bytes as wanted.
std::vector<uint8_t> Expand(const uint8_t* seed, const char* label, size_t n) {
  std::vector<uint8_t> out;
  for (uint64_t counter = 0; out.size() < n; ++counter) {
    Digest d;
    d.Bytes(seed, CryptoPP::SHA256::DIGESTSIZE);
    d.Text(label);
    d.U64(counter);
    uint8_t block[CryptoPP::SHA256::DIGESTSIZE];
    d.Final(block);
    out.insert(out.end(), block, block + sizeof block);
  }
  out.resize(n);
  return out;
}

}  // namespace

bool ReproducibleFromEnvironment() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  return epoch && *epoch;
}

bool DeriveKeyAndId(const PackOptions& o, const std::string& archive_name,
                    const std::vector<uint8_t>& stub, const std::vector<SourceFile>& files,
                    std::vector<uint8_t>& key_block, uint32_t& archive_id, std::string& error) {
  Digest d;
  d.Text("kestrum reproducible archive 1");
  d.Bytes(stub.data(), stub.size());
  d.Text(archive_name);
  d.Text(o.description);
  d.U64(o.language);
  d.U64(o.raw);
  d.U64(uint64_t(o.level));
  d.U64(o.chunk_size);
  d.U64(o.split_size);
  d.U64(o.manifest);
  d.Picture(o.icon);
  d.Picture(o.banner);
  d.U64(files.size());
  for (const SourceFile& f : files) {
    d.Text(f.name);
    d.U64(f.size);
    if (!d.File(f, error)) return false;
  }
  uint8_t seed[CryptoPP::SHA256::DIGESTSIZE];
  d.Final(seed);

  key_block = Expand(seed, "key block", kKeyBlockSize);
  archive_id = 0;
  for (uint64_t round = 0; archive_id == 0; ++round) {
    const std::vector<uint8_t> id =
        Expand(seed, ("archive id " + std::to_string(round)).c_str(), 4);
    archive_id =
        uint32_t(id[0]) | uint32_t(id[1]) << 8 | uint32_t(id[2]) << 16 | uint32_t(id[3]) << 24;
  }
  return true;
}

}  // namespace kestrum
