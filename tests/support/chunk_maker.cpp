#include "tests/support/chunk_maker.h"

#include <cryptopp/sosemanuk.h>
#include <zlib.h>

namespace kestrum::test {

Bytes GzipMember(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, uLong(data.size())) + 32);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct ChunkMaker::State {
  CryptoPP::Sosemanuk::Encryption cipher;
};

ChunkMaker::ChunkMaker(const Bytes& key_block) : state_(new State) {
  state_->cipher.SetKeyWithIV(key_block.data(), 16, key_block.data() + 32, 16);
}

ChunkMaker::~ChunkMaker() = default;

void ChunkMaker::Add(Bytes& chunks, const Bytes& body) {
  Put32(chunks, uint32_t(body.size()));
  Bytes enciphered = body;
  if (!enciphered.empty())
    state_->cipher.ProcessData(enciphered.data(), enciphered.data(), enciphered.size());
  PutBytes(chunks, enciphered);
}

TestEntry MakeEntry(ChunkMaker& maker, const std::string& name,
                    const std::vector<std::string>& pieces, bool raw) {
  TestEntry e;
  e.name = name;
  e.raw = raw;
  for (const std::string& p : pieces) {
    e.size += p.size();
    if (raw)
      maker.AddRaw(e.chunks, p);
    else
      maker.AddGzip(e.chunks, p);
  }
  return e;
}

}  // namespace kestrum::test
