#include "tool/chunk_encoder.h"

#include <cryptopp/sosemanuk.h>
#include <libdeflate.h>

#include "archive/container_format.h"

namespace kestrum {

namespace {
constexpr size_t kSample = 32u * 1024;
constexpr size_t kProbedFrom = 8 * kSample;  // smaller data is compressed as it is
}  // namespace

GzipChunkCompressor::GzipChunkCompressor(int level)
    : compressor_(libdeflate_alloc_compressor(level)) {
  if (level > 0) {
    probe_ = libdeflate_alloc_compressor(1);
    stored_ = libdeflate_alloc_compressor(0);
  }
}

GzipChunkCompressor::~GzipChunkCompressor() {
  libdeflate_free_compressor(compressor_);
  libdeflate_free_compressor(probe_);
  libdeflate_free_compressor(stored_);
}

bool GzipChunkCompressor::LooksIncompressible(const uint8_t* data, size_t n) {
  if (!probe_ || !stored_ || n < kProbedFrom) return false;
  sample_out_.resize(libdeflate_deflate_compress_bound(probe_, kSample));
  for (const size_t at : {size_t{0}, (n - kSample) / 2, n - kSample}) {
    const size_t packed = libdeflate_deflate_compress(probe_, data + at, kSample,
                                                      sample_out_.data(), sample_out_.size());
    if (packed == 0 || packed < kSample - kSample / 50) return false;
  }
  return true;
}

bool GzipChunkCompressor::Compress(const uint8_t* data, size_t n, std::vector<uint8_t>& body,
                                   std::string& error) {
  if (!compressor_) {
    error = "cannot start the compressor";
    return false;
  }
  libdeflate_compressor* use = LooksIncompressible(data, n) ? stored_ : compressor_;
  // A gzip member: header, deflate data, CRC-32 and length trailer.
  body.resize(libdeflate_gzip_compress_bound(use, n));
  const size_t produced = libdeflate_gzip_compress(use, data, n, body.data(), body.size());
  if (produced == 0) {
    error = "the compressor failed";
    return false;
  }
  body.resize(produced);
  return true;
}

struct ChunkCipher::State {
  CryptoPP::Sosemanuk::Encryption sosemanuk;
};

ChunkCipher::ChunkCipher(const uint8_t* key, const uint8_t* iv) : state_(new State) {
  state_->sosemanuk.SetKeyWithIV(key, kKeyLength, iv, kKeyLength);
}

ChunkCipher::~ChunkCipher() = default;

void ChunkCipher::Encipher(uint8_t* data, size_t n) {
  if (n) state_->sosemanuk.ProcessData(data, data, n);
}

}  // namespace kestrum
