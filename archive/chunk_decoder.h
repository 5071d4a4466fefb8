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

// Inflates one complete gzip member, checking its CRC-32 and length. Members
// whose stated size fits the fast buffer are inflated in one go; larger ones
// stream through a small buffer, so memory stays bounded whatever the member
// claims.
class GzipMemberDecoder {
 public:
  // Receives the decoded bytes; returns false to stop (a write failed).
  using Sink = std::function<bool(const uint8_t* data, size_t n)>;
  static constexpr size_t kFastOutput = 16u * 1024 * 1024;

  GzipMemberDecoder();
  ~GzipMemberDecoder();
  GzipMemberDecoder(const GzipMemberDecoder&) = delete;
  GzipMemberDecoder& operator=(const GzipMemberDecoder&) = delete;

  // Empty on success, otherwise what is wrong with the member. A sink that
  // refuses gives "write failed".
  std::string Decode(const uint8_t* in, size_t n, const Sink& sink);

 private:
  std::string DecodeStreaming(const uint8_t* in, size_t n, const Sink& sink);
  libdeflate_decompressor* inflater_;
  std::unique_ptr<uint8_t[]> out_;
  size_t out_capacity_ = 0;
};

}  // namespace kestrum
