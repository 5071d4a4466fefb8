#include "archive/extract_pipeline.h"

namespace kestrum {

ChunkQueue::ChunkQueue() {
  for (ChunkBuffer& b : buffers_) free_.push_back(&b);
}

ChunkBuffer* ChunkQueue::Acquire(size_t n) {
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait(hold, [this] { return !free_.empty(); });
  ChunkBuffer* b = free_.front();
  free_.pop_front();
  hold.unlock();
  if (b->capacity < n) {
    b->data.reset();  // drop the old block first: never two large blocks at once
    b->data.reset(new uint8_t[n]);
    b->capacity = n;
  }
  b->length = n;
  return b;
}

void ChunkQueue::Release(ChunkBuffer* buffer) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    free_.push_back(buffer);
  }
  changed_.notify_all();
}

void ChunkQueue::Push(const PipelineJob& job) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    jobs_.push_back(job);
  }
  changed_.notify_all();
}

PipelineJob ChunkQueue::Pop() {
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait(hold, [this] { return !jobs_.empty(); });
  PipelineJob job = jobs_.front();
  jobs_.pop_front();
  return job;
}

}  // namespace kestrum
