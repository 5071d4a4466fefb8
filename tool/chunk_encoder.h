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

  // Compresses `n` bytes into one gzip member in `body`. Data that does
  // not compress (already packed media, random bytes) is stored in the member
  // without searching it for matches, which would cost the time of text and
  // gain nothing.
  bool Compress(const uint8_t* data, size_t n, std::vector<uint8_t>& body, std::string& error);

 private:
  // True when samples from the start, middle and end of the data all stay
  // within 2% of their size at the fastest level.
  bool LooksIncompressible(const uint8_t* data, size_t n);

  libdeflate_compressor* compressor_;
  libdeflate_compressor* probe_ = nullptr;   // level 1, for the samples
  libdeflate_compressor* stored_ = nullptr;  // level 0: stored blocks only
  std::vector<uint8_t> sample_out_;
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
