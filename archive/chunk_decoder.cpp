#include "archive/chunk_decoder.h"

#include <cryptopp/sosemanuk.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

namespace kestrum {

struct KeystreamCipher::State {
  CryptoPP::Sosemanuk::Decryption sosemanuk;
};

KeystreamCipher::KeystreamCipher(const std::vector<uint8_t>& key_block) : state_(new State) {
  // Load refuses key blocks shorter than 48 bytes.
  state_->sosemanuk.SetKeyWithIV(key_block.data(), 16, key_block.data() + 32, 16);
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
std::string GzipMemberDecoder::Decode(const uint8_t* in, size_t n, const Sink& sink) {
  if (n < 18) return "a gzip member is cut short";
  if (!inflater_) return "out of memory";
  const uint32_t stated = uint32_t(in[n - 4]) | (uint32_t(in[n - 3]) << 8) |
                          (uint32_t(in[n - 2]) << 16) | (uint32_t(in[n - 1]) << 24);
  if (stated > kFastOutput) return DecodeStreaming(in, n, sink);
  if (out_capacity_ < std::max<size_t>(stated, 1)) {
    out_capacity_ = std::max<size_t>(stated, 1);
    out_.reset(new uint8_t[out_capacity_]);
  }
  size_t used_in = 0, produced = 0;
  const libdeflate_result r =
      libdeflate_gzip_decompress_ex(inflater_, in, n, out_.get(), stated, &used_in, &produced);
  // The stated size is only the length mod 2^32: a member that does not fit is
  // larger than it says, and goes the streaming way.
  if (r == LIBDEFLATE_INSUFFICIENT_SPACE) return DecodeStreaming(in, n, sink);
  if (r != LIBDEFLATE_SUCCESS) return "damaged compressed data (bad gzip header, data or CRC-32)";
  if (used_in != n) return "unexpected bytes after the gzip member";
  return sink(out_.get(), produced) ? "" : "write failed";
}

std::string GzipMemberDecoder::DecodeStreaming(const uint8_t* in, size_t n, const Sink& sink) {
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
      error = "write failed";
      break;
    }
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // input ran out
  }
  if (error.empty()) {
    if (rc != Z_STREAM_END)
      error = "damaged compressed data (bad gzip header, data or CRC-32)";
    else if (z.avail_in != 0 || left != 0)
      error = "unexpected bytes after the gzip member";
  }
  inflateEnd(&z);
  return error;
}

}  // namespace kestrum
