#include "tool/chunk_encoder.h"

#include <cryptopp/sosemanuk.h>
#include <zlib.h>

namespace kestrum {

struct ChunkEncoder::Cipher {
  CryptoPP::Sosemanuk::Encryption sosemanuk;
};

ChunkEncoder::ChunkEncoder(const uint8_t* key, const uint8_t* iv, int level)
    : cipher_(new Cipher), level_(level) {
  cipher_->sosemanuk.SetKeyWithIV(key, 16, iv, 16);
}

ChunkEncoder::~ChunkEncoder() = default;

bool ChunkEncoder::Compress(const uint8_t* data, size_t n, std::vector<uint8_t>& body,
                            std::string& error) {
  z_stream z{};
  // windowBits 15 + 16: a gzip member with header, CRC-32 and length trailer.
  if (deflateInit2(&z, level_, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    error = "cannot start the compressor";
    return false;
  }
  body.resize(deflateBound(&z, static_cast<uLong>(n)) + 32);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(n);
  z.next_out = body.data();
  z.avail_out = static_cast<uInt>(body.size());
  const int rc = deflate(&z, Z_FINISH);
  const size_t produced = z.total_out;
  deflateEnd(&z);
  if (rc != Z_STREAM_END) {
    error = "the compressor failed";
    return false;
  }
  body.resize(produced);
  return true;
}

void ChunkEncoder::Encipher(uint8_t* data, size_t n) {
  if (n) cipher_->sosemanuk.ProcessData(data, data, n);
}

}  // namespace kestrum
