// Builds enciphered chunks for test archives straight from zlib and Crypto++,
// independently of the packer and of the extractor's decoder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/archive_builder.h"

namespace kestrum::test {

// One gzip member (header, deflate data, CRC-32, length) made by zlib.
Bytes GzipMember(const std::string& data);

// Enciphers chunk bodies with one continuous Sosemanuk keystream
// (key = key_block[0..15], IV = key_block[32..47]).
class ChunkMaker {
 public:
  explicit ChunkMaker(const Bytes& key_block);
  ~ChunkMaker();
  // u32 length + enciphered body, appended to `chunks`.
  void Add(Bytes& chunks, const Bytes& body);
  void AddRaw(Bytes& chunks, const std::string& data) {
    Add(chunks, Bytes(data.begin(), data.end()));
  }
  void AddGzip(Bytes& chunks, const std::string& data) { Add(chunks, GzipMember(data)); }

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A raw entry of the given chunks, or a compressed one.
TestEntry MakeEntry(ChunkMaker& maker, const std::string& name,
                    const std::vector<std::string>& pieces, bool raw);

}  // namespace kestrum::test
