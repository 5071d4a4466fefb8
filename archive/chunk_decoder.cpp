#include "archive/chunk_decoder.h"

#include <cryptopp/sosemanuk.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "archive/container_format.h"

namespace kestrum {

struct KeystreamCipher::State {
  CryptoPP::Sosemanuk::Decryption sosemanuk;
};

KeystreamCipher::KeystreamCipher(const std::vector<uint8_t>& key_block) : state_(new State) {
  // Load refuses key blocks shorter than 48 bytes.
  state_->sosemanuk.SetKeyWithIV(key_block.data() + kKeyOffset, kKeyLength,
                                 key_block.data() + kIvOffset, kKeyLength);
}

KeystreamCipher::~KeystreamCipher() = default;

void KeystreamCipher::Apply(uint8_t* data, size_t n) {
  if (n) state_->sosemanuk.ProcessData(data, data, n);
}

GzipMemberDecoder::GzipMemberDecoder() : inflater_(libdeflate_alloc_decompressor()) {}

GzipMemberDecoder::~GzipMemberDecoder() {
  libdeflate_free_decompressor(inflater_);
}

// gzip member: 10-byte header (1F 8B 08 flags ...), optional fields, deflate
// data, then u32 CRC-32 and u32 ISIZE (the decoded length mod 2^32).
uint32_t GzipMemberDecoder::StatedSize(const uint8_t* in, size_t n) {
  if (n < 18) return 0;
  return uint32_t(in[n - 4]) | (uint32_t(in[n - 3]) << 8) | (uint32_t(in[n - 2]) << 16) |
         (uint32_t(in[n - 1]) << 24);
}

GzipMemberDecoder::Result GzipMemberDecoder::DecodeInto(const uint8_t* in, size_t n, uint8_t* out,
                                                        size_t capacity, size_t* produced) {
  if (n < 18 || !inflater_) return Result::kDamaged;
  size_t used_in = 0;
  *produced = 0;
  const libdeflate_result r =
      libdeflate_gzip_decompress_ex(inflater_, in, n, out, capacity, &used_in, produced);
  if (r == LIBDEFLATE_INSUFFICIENT_SPACE) return Result::kDoesNotFit;
  // libdeflate has checked the CRC-32 and the stated length; the member must
  // also fill the chunk exactly.
  if (r != LIBDEFLATE_SUCCESS || used_in != n) return Result::kDamaged;
  return Result::kOk;
}

std::string GzipMemberDecoder::DecodeStreaming(const uint8_t* in, size_t n, const Sink& sink) {
  if (n < 18) return kDamagedText;
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return "out of memory";
  constexpr size_t kPiece = 1u << 20;
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  std::string error;
  size_t left = n;
  const uint8_t* next = in;
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (z.avail_in == 0 && left > 0) {
      const size_t take = std::min<size_t>(left, 1u << 30);
      z.next_in = const_cast<Bytef*>(next);
      z.avail_in = static_cast<uInt>(take);
      next += take;
      left -= take;
    }
    z.next_out = piece.get();
    z.avail_out = static_cast<uInt>(kPiece);
    rc = inflate(&z, Z_NO_FLUSH);
    const size_t produced = kPiece - z.avail_out;
    if (produced && !sink(piece.get(), produced)) {
      error = kWriteFailed;
      break;
    }
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // input ran out
  }
  if (error.empty()) {
    if (rc != Z_STREAM_END || z.avail_in != 0 || left != 0) error = kDamagedText;
  }
  inflateEnd(&z);
  return error;
}

}  // namespace kestrum
