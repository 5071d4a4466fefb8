// Turns file data into chunk bodies: a gzip member each (or the bytes as they
// are), enciphered with the archive's one continuous keystream.
//
// Compressing is independent per chunk and runs on many threads, one
// GzipChunkCompressor each; enciphering must follow the archive's order and
// runs on the one thread that writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct libdeflate_compressor;

namespace kestrum {

constexpr int kMaxLevel = 12;  // 0: stored blocks, 1..9 as zlib, 10..12 slower and smaller

class GzipChunkCompressor {
 public:
  explicit GzipChunkCompressor(int level);
  ~GzipChunkCompressor();
  GzipChunkCompressor(const GzipChunkCompressor&) = delete;
  GzipChunkCompressor& operator=(const GzipChunkCompressor&) = delete;

  // Compresses `n` bytes into one gzip member in `body`.
  bool Compress(const uint8_t* data, size_t n, std::vector<uint8_t>& body, std::string& error);

 private:
  libdeflate_compressor* compressor_;
};

class ChunkCipher {
 public:
  // key: 16 bytes, iv: 16 bytes.
  ChunkCipher(const uint8_t* key, const uint8_t* iv);
  ~ChunkCipher();
  // Enciphers in place with the next keystream bytes.
  void Encipher(uint8_t* data, size_t n);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kestrum
