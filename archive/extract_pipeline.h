// The two halves of an extraction run and the queue between them.
//
// The decoding half (the worker thread) reads each chunk, checks its length
// against the entry and the file, deciphers it in place (the keystream must be
// taken in file order) and inflates it into an output block. The writing half
// (a second thread) creates the files and writes the blocks, so that decoding
// overlaps writing. At most kBuffers blocks are in flight, so memory stays
// bounded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace kestrum {

struct ChunkBuffer {
  std::unique_ptr<uint8_t[]> data;
  size_t capacity = 0;
  size_t length = 0;
};

struct PipelineJob {
  // kPacked: a deciphered gzip member, inflated ahead by a helper thread
  // (InflateCrew) or, when none has taken it yet, by the writing half.
  enum Kind { kBeginEntry, kOutput, kPacked, kEndEntry, kFail, kFinish } kind;
  size_t entry = 0;
  ChunkBuffer* buffer = nullptr;  // kOutput: decoded bytes; kPacked: the member
  bool ends_chunk = false;        // kOutput only: the last block of its chunk
  std::string detail = {};        // kFail only: what the reading half found wrong
};

class ChunkQueue {
 public:
  // Up to kBuffers blocks in flight, holding at most kBudget bytes together
  // (one block may exceed it alone): many small files keep the writer busy,
  // large blocks cannot add up beyond the budget. Sixteen let the two halves
  // run ahead of each other through an archive's slower and faster stretches.
  static constexpr int kBuffers = 16;
  static constexpr size_t kBudget = 32u * 1024 * 1024;

  ChunkQueue();
  // Blocks until a buffer is free and the budget allows; grows it to n bytes.
  ChunkBuffer* Acquire(size_t n);
  void Release(ChunkBuffer* buffer);
  void Push(const PipelineJob& job);
  // The last word of the decoding half: once the jobs before it are taken,
  // Pop gives a kFail with `damage` (when `failed`), then kFinish. It
  // allocates nothing, so it serves the paths where memory has run out.
  void Close(bool failed, std::string damage) noexcept;
  PipelineJob Pop();
  // Jobs waiting for the writing half.
  size_t Pending();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  ChunkBuffer buffers_[kBuffers];
  std::deque<ChunkBuffer*> free_;
  size_t allocated_ = 0;  // capacity of all buffers together
  std::deque<PipelineJob> jobs_;
  bool closed_ = false, failed_ = false;
  std::string damage_;
};

// A block taken from the queue's pool. It goes back to the pool when its
// holder lets go of it, unless it was handed on with a job (release()).
class PooledBuffer {
 public:
  PooledBuffer() = default;
  PooledBuffer(ChunkQueue& queue, ChunkBuffer* buffer) : queue_(&queue), buffer_(buffer) {}
  PooledBuffer(PooledBuffer&& other) noexcept
      : queue_(other.queue_), buffer_(std::exchange(other.buffer_, nullptr)) {}
  PooledBuffer& operator=(PooledBuffer&& other) noexcept {
    if (this != &other) {
      reset();
      queue_ = other.queue_;
      buffer_ = std::exchange(other.buffer_, nullptr);
    }
    return *this;
  }
  ~PooledBuffer() { reset(); }

  ChunkBuffer* operator->() const { return buffer_; }
  explicit operator bool() const { return buffer_ != nullptr; }
  ChunkBuffer* release() { return std::exchange(buffer_, nullptr); }
  void reset() {
    if (buffer_) queue_->Release(std::exchange(buffer_, nullptr));
  }

 private:
  ChunkQueue* queue_ = nullptr;
  ChunkBuffer* buffer_ = nullptr;
};

// What both halves say about an entry whose data holds more than its size.
std::string TooLongText(std::string_view name, uint64_t size);
// What a run that ended in an exception says.
std::string FailureText(const std::exception& e);

}  // namespace kestrum
