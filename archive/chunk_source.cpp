#include "archive/chunk_source.h"

#include "archive/container_format.h"
#include "archive/unzipper.h"

namespace kestrum {

ChunkSource::ChunkSource(ByteStream& file, const std::vector<uint8_t>& key_block, StageTimes& times)
    : file_(file), in_(file), cipher_(key_block), times_(times) {}

bool ChunkSource::Fail(const std::string& why) {
  if (error_.empty()) error_ = std::string(name_) + ": " + why;
  return false;
}

// A short read: the end of the file, or what the stream knows of it.
std::string ChunkSource::EndText() const {
  const std::string problem = file_.Problem();
  return problem.empty() ? "the archive ends inside its data" : problem;
}

bool ChunkSource::BeginEntry(const ArchiveEntry& entry, std::string_view name) {
  entry_ = &entry;
  name_ = name;
  remaining_ = entry.stored_size;
  if (remaining_ > 0 && !in_.Seek(entry.data_offset))
    return Fail("its data lies beyond the end of the archive");
  return true;
}

bool ChunkSource::NextLength(uint32_t& n) {
  n = in_.U32();
  if (in_.failed()) return Fail(EndText());
  if (n > kMaxChunkBody || uint64_t{n} + kChunkLengthSize > remaining_)
    return Fail("a chunk length (" + std::to_string(n) + ") is impossible");
  remaining_ -= uint64_t{n} + kChunkLengthSize;
  return true;
}

// The body is read from the file itself, past the cursor: one read into the
// block, no copy.
bool ChunkSource::ReadBody(uint8_t* into, uint32_t n) {
  if (n == 0) return true;
  size_t got = 0;
  if (in_.Left() >= n) {
    StageTimes::Probe probe(times_, StageTimes::kRead);
    got = file_.Read(into, n);
  }
  if (got != n) return Fail(EndText());
  StageTimes::Probe probe(times_, StageTimes::kDecipher);
  cipher_.Apply(into, n);
  return true;
}

}  // namespace kestrum
