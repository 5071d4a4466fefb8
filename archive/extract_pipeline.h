// The two halves of an extraction run and the queue between them.
//
// The reading half (the worker thread) reads each chunk, checks its length
// against the entry and the file, and deciphers it in place: the keystream
// must be taken in file order. The writing half (a second thread) inflates the
// chunk and writes it, so that reading and deciphering overlap inflating and
// writing. At most kBuffers chunks are in flight, so memory stays bounded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace kestrum {

struct ChunkBuffer {
  std::unique_ptr<uint8_t[]> data;
  size_t capacity = 0;
  size_t length = 0;
};

struct PipelineJob {
  enum Kind { kBeginEntry, kChunk, kEndEntry, kFail, kFinish } kind;
  size_t entry = 0;
  ChunkBuffer* buffer = nullptr;  // kChunk only
  std::string detail = {};        // kFail only: what the reading half found wrong
};

class ChunkQueue {
 public:
  static constexpr int kBuffers = 3;

  ChunkQueue();
  // Blocks until a buffer is free; grows it to hold n bytes.
  ChunkBuffer* Acquire(size_t n);
  void Release(ChunkBuffer* buffer);
  void Push(const PipelineJob& job);
  PipelineJob Pop();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  ChunkBuffer buffers_[kBuffers];
  std::deque<ChunkBuffer*> free_;
  std::deque<PipelineJob> jobs_;
};

}  // namespace kestrum
