#include "tool/chunk_pipeline.h"

#include <cryptopp/sha.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "archive/byte_stream.h"
#include "tool/chunk_encoder.h"
#include "tool/system_error.h"

namespace kestrum {

ChunkPipeline::ChunkPipeline(const std::vector<SourceFile>& files, uint32_t chunk_size, int level,
                             int threads)
    : files_(files), chunk_size_(chunk_size), level_(level) {
  threads = std::max(threads, 1);
  // Enough slots for every compressor to have one, the reader to fill the
  // next ones and the writer to hold one.
  slots_.resize(size_t(threads) * 2 + 2);
  threads_.emplace_back([this] { ReadAll(); });
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { CompressAll(); });
}

ChunkPipeline::~ChunkPipeline() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

ChunkPipeline::Slot* ChunkPipeline::ClaimForReading(uint64_t seq) {
  std::unique_lock<std::mutex> hold(mutex_);
  Slot& slot = slots_[static_cast<size_t>(seq % slots_.size())];
  changed_.wait(hold, [&] { return stopping_ || slot.state == SlotState::kFree; });
  if (stopping_) return nullptr;
  slot.state = SlotState::kReading;
  slot.seq = seq;
  return &slot;
}

// A chunk with an error goes straight to the writer; the others to compressing.
void ChunkPipeline::Publish(Slot& slot) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    slot.state = slot.chunk.error.empty() ? SlotState::kRead : SlotState::kDone;
    ++published_;
  }
  changed_.notify_all();
}

bool ChunkPipeline::ReadFile(size_t index, uint64_t& seq) {
  const SourceFile& file = files_[index];
  if (file.size == 0) return true;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(OpenFileUtf8(file.path, "rb"), &std::fclose);
  const int open_error = in ? 0 : errno;
  uint64_t left = file.size;
  CryptoPP::SHA256 sha;  // the manifest's digest, taken here, off the writing thread
  while (left > 0) {
    Slot* slot = ClaimForReading(seq++);
    if (!slot) return false;
    Chunk& c = slot->chunk;
    c.file = index;
    c.error.clear();
    c.input_size = static_cast<size_t>(std::min<uint64_t>(left, chunk_size_));
    left -= c.input_size;
    c.last = left == 0;
    slot->input.resize(c.input_size);
    if (!in) {
      c.error = CannotOpen(file.path, open_error);
    } else if (std::fread(slot->input.data(), 1, c.input_size, in.get()) != c.input_size) {
      c.error = file.path + ": the file became shorter while it was packed";
    }
    // Only the listed size is stored; a byte beyond it means the file grew.
    c.grew = c.last && c.error.empty() && std::fgetc(in.get()) != EOF;
    if (c.error.empty()) sha.Update(slot->input.data(), slot->input.size());
    if (c.last && c.error.empty()) sha.Final(c.digest);
    Publish(*slot);
    if (!c.error.empty()) return false;
  }
  return true;
}

void ChunkPipeline::ReadAll() {
  uint64_t seq = 0;
  for (size_t i = 0; i < files_.size(); ++i)
    if (!ReadFile(i, seq)) break;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    read_all_ = true;
  }
  changed_.notify_all();
}

void ChunkPipeline::CompressAll() {
  std::unique_ptr<GzipChunkCompressor> compressor;
  if (level_ >= 0) compressor = std::make_unique<GzipChunkCompressor>(level_);
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    changed_.wait(hold, [&] { return stopping_ || read_all_ || next_compress_ < published_; });
    if (stopping_) return;
    if (next_compress_ >= published_) {
      if (read_all_) return;
      continue;
    }
    // Slots are published in sequence order and freed only after they are
    // done, so the slot of every published sequence number still holds it.
    Slot& slot = slots_[static_cast<size_t>(next_compress_++ % slots_.size())];
    if (slot.state != SlotState::kRead) continue;  // an error, passed on as it is
    slot.state = SlotState::kCompressing;
    hold.unlock();
    Chunk& c = slot.chunk;
    if (compressor)
      compressor->Compress(slot.input.data(), slot.input.size(), c.body, c.error);
    else
      c.body.swap(slot.input);
    hold.lock();
    slot.state = SlotState::kDone;
    changed_.notify_all();
  }
}

ChunkPipeline::Chunk& ChunkPipeline::Next() {
  std::unique_lock<std::mutex> hold(mutex_);
  if (taken_) {
    taken_->state = SlotState::kFree;
    taken_ = nullptr;
    changed_.notify_all();
  }
  const uint64_t seq = next_take_;
  Slot& slot = slots_[static_cast<size_t>(seq % slots_.size())];
  const auto ready = [&] { return slot.seq == seq && slot.state == SlotState::kDone; };
  const auto dry = [&] { return read_all_ && seq >= published_; };
  changed_.wait(hold, [&] { return ready() || dry(); });
  if (!ready()) {
    // Asked for more chunks than the files hold: a fault of the caller.
    dry_.error = "internal error: more chunks asked for than read";
    return dry_;
  }
  ++next_take_;
  taken_ = &slot;
  return slot.chunk;
}

}  // namespace kestrum
