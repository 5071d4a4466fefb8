#include "tool/chunk_encoder.h"

#include <cryptopp/sosemanuk.h>
#include <libdeflate.h>

namespace kestrum {

GzipChunkCompressor::GzipChunkCompressor(int level)
    : compressor_(libdeflate_alloc_compressor(level)) {}

GzipChunkCompressor::~GzipChunkCompressor() {
  libdeflate_free_compressor(compressor_);
}

bool GzipChunkCompressor::Compress(const uint8_t* data, size_t n, std::vector<uint8_t>& body,
                                   std::string& error) {
  if (!compressor_) {
    error = "cannot start the compressor";
    return false;
  }
  // A gzip member: header, deflate data, CRC-32 and length trailer.
  body.resize(libdeflate_gzip_compress_bound(compressor_, n));
  const size_t produced = libdeflate_gzip_compress(compressor_, data, n, body.data(), body.size());
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
  state_->sosemanuk.SetKeyWithIV(key, 16, iv, 16);
}

ChunkCipher::~ChunkCipher() = default;

void ChunkCipher::Encipher(uint8_t* data, size_t n) {
  if (n) state_->sosemanuk.ProcessData(data, data, n);
}

}  // namespace kestrum
