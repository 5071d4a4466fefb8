// Decoding of chunk bodies: the archive's one continuous keystream, and one
// gzip member per chunk of a compressed entry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct libdeflate_decompressor;

namespace kestrum {

// Sosemanuk keyed from the key block: key = bytes 0..15, IV = bytes 32..47.
// The keystream runs on from call to call and is never restarted.
class KeystreamCipher {
 public:
  explicit KeystreamCipher(const std::vector<uint8_t>& key_block);
  ~KeystreamCipher();
  void Apply(uint8_t* data, size_t n);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Inflates one complete gzip member, checking its CRC-32 and length. A member
// whose stated size fits a block is inflated into it in one go; a larger one
// streams through a small buffer, so memory stays bounded whatever the member
// claims.
class GzipMemberDecoder {
 public:
  // Receives decoded bytes; returns false to stop (a write failed).
  using Sink = std::function<bool(const uint8_t* data, size_t n)>;
  // Members stating more than this are streamed.
  static constexpr size_t kFastOutput = 16u * 1024 * 1024;

  enum class Result { kOk, kDoesNotFit, kDamaged };

  GzipMemberDecoder();
  ~GzipMemberDecoder();
  GzipMemberDecoder(const GzipMemberDecoder&) = delete;
  GzipMemberDecoder& operator=(const GzipMemberDecoder&) = delete;

  // The length the member's trailer states (mod 2^32); 0 for a member too
  // short to have a trailer.
  static uint32_t StatedSize(const uint8_t* in, size_t n);
  // Inflates into `out` (room for `capacity` bytes). kDoesNotFit: the member
  // is larger than it stated; stream it instead.
  Result DecodeInto(const uint8_t* in, size_t n, uint8_t* out, size_t capacity, size_t* produced);
  // Empty on success, otherwise what is wrong; a refusing sink gives kWriteFailed.
  std::string DecodeStreaming(const uint8_t* in, size_t n, const Sink& sink);

  static constexpr const char* kDamagedText =
      "damaged compressed data (bad gzip header, data or CRC-32)";
  static constexpr const char* kWriteFailed = "write failed";

 private:
  libdeflate_decompressor* inflater_;
};

}  // namespace kestrum
