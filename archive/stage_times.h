// Totals per stage of an extraction run, to find where the time goes: wall
// clock and the thread's CPU time (on a busy machine the wall clock mostly
// measures waiting for a core; the CPU time does not). Switched on by the
// environment variable KESTRUM_TIMING (any value); the totals go to standard
// error when the run ends. Switched off, a probe costs one test.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kestrum {

class StageTimes {
 public:
  enum Stage {
    kRead,            // reading chunk bodies from the container
    kDecipher,        // the keystream
    kInflateDecoder,  // inflating on the decoding thread
    kInflateWriter,   // inflating on the writing thread
    kInflateHelper,   // inflating on the helper threads, all together
    kWrite,           // handing decoded bytes to the file system
    kHash,            // the content's SHA-256, for the manifest
    kCreateClose,     // creating, closing and moving files
    kWaitBlock,       // the decoding thread waiting for a free block
    kWaitJob,         // the writing thread waiting for work
    kWaitHelper,      // the writing thread waiting for a helper to finish
    kStageCount
  };

  StageTimes();
  bool on() const { return on_; }
  // Prints the totals (when switched on).
  void Report() const;

  // Adds the time from its creation to its end to one stage.
  class Probe {
   public:
    Probe(StageTimes& times, Stage stage) : times_(times.on_ ? &times : nullptr), stage_(stage) {
      if (times_) {
        start_ = std::chrono::steady_clock::now();
        cpu_start_ = ThreadCpuNs();
      }
    }
    ~Probe() {
      if (!times_) return;
      times_->cpu_ns_[stage_] += ThreadCpuNs() - cpu_start_;
      times_->ns_[stage_] += uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

   private:
    StageTimes* times_;
    Stage stage_;
    std::chrono::steady_clock::time_point start_{};
    uint64_t cpu_start_ = 0;
  };

  // CPU time of the calling thread so far, in nanoseconds (0 where unknown).
  static uint64_t ThreadCpuNs();

 private:
  bool on_;
  std::chrono::steady_clock::time_point begin_;
  std::atomic<uint64_t> ns_[kStageCount] = {};
  std::atomic<uint64_t> cpu_ns_[kStageCount] = {};
};

}  // namespace kestrum
