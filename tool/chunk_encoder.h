// Turns file data into chunk bodies: a gzip member each (or the bytes as they
// are), enciphered with the archive's one continuous keystream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrum {

class ChunkEncoder {
 public:
  // key: 16 bytes, iv: 16 bytes. level: 0..9 (ignored when raw).
  ChunkEncoder(const uint8_t* key, const uint8_t* iv, int level);
  ~ChunkEncoder();

  // Compresses `n` bytes into one gzip member in `body`.
  bool Compress(const uint8_t* data, size_t n, std::vector<uint8_t>& body, std::string& error);
  // Enciphers in place with the next keystream bytes.
  void Encipher(uint8_t* data, size_t n);

 private:
  struct Cipher;
  std::unique_ptr<Cipher> cipher_;
  int level_;
};

}  // namespace kestrum
