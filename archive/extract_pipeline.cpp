#include "archive/extract_pipeline.h"

#include <new>

namespace kestrum {

ChunkQueue::ChunkQueue() {
  for (ChunkBuffer& b : buffers_) free_.push_back(&b);
}

ChunkBuffer* ChunkQueue::Acquire(size_t n) {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    if (!free_.empty()) {
      // Prefer a free block that is large enough already.
      auto pick = free_.begin();
      for (auto it = free_.begin(); it != free_.end(); ++it)
        if ((*it)->capacity >= n) {
          pick = it;
          break;
        }
      ChunkBuffer* b = *pick;
      if (b->capacity >= n) {
        free_.erase(pick);
        b->length = n;
        return b;
      }
      // Growing: first give back the memory of the other free blocks if the
      // budget needs it.
      for (ChunkBuffer* other : free_) {
        if (allocated_ - b->capacity + n <= kBudget) break;
        if (other == b) continue;
        allocated_ -= other->capacity;
        other->data.reset();
        other->capacity = 0;
      }
      // Nothing in flight but what the caller may hold itself.
      const bool alone = free_.size() + 1 >= size_t(kBuffers);
      if (allocated_ - b->capacity + n <= kBudget || alone) {
        // When the allocation fails the block stays in the pool, empty.
        allocated_ -= b->capacity;
        b->data.reset();
        b->capacity = 0;
        b->data.reset(new uint8_t[n]);
        allocated_ += n;
        b->capacity = n;
        b->length = n;
        free_.erase(pick);
        return b;
      }
    }
    changed_.wait(hold);
  }
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

size_t ChunkQueue::Pending() {
  std::lock_guard<std::mutex> hold(mutex_);
  return jobs_.size();
}

void ChunkQueue::Close(bool failed, std::string damage) noexcept {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    closed_ = true;
    failed_ = failed;
    damage_ = std::move(damage);
  }
  changed_.notify_all();
}

// Moved out, not copied: taking a job allocates nothing.
PipelineJob ChunkQueue::Pop() {
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait(hold, [this] { return !jobs_.empty() || closed_; });
  if (jobs_.empty()) {
    PipelineJob last{failed_ ? PipelineJob::kFail : PipelineJob::kFinish, 0, nullptr};
    if (failed_) last.detail = std::move(damage_);
    failed_ = false;
    return last;
  }
  PipelineJob job = std::move(jobs_.front());
  jobs_.pop_front();
  return job;
}

std::string TooLongText(std::string_view name, uint64_t size) {
  return std::string(name) + ": the data holds more than the " + std::to_string(size) +
         " bytes the file table says";
}

std::string FailureText(const std::exception& e) {
  return dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory"
                                                 : std::string("failed: ") + e.what();
}

}  // namespace kestrum
