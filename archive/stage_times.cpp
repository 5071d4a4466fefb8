#include "archive/stage_times.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace kestrum {

StageTimes::StageTimes()
    : on_(std::getenv("KESTRUM_TIMING") != nullptr), begin_(std::chrono::steady_clock::now()) {}

uint64_t StageTimes::ThreadCpuNs() {
#ifdef CLOCK_THREAD_CPUTIME_ID
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
    return uint64_t(t.tv_sec) * 1000000000u + uint64_t(t.tv_nsec);
#endif
  return 0;
}

void StageTimes::Report() const {
  if (!on_) return;
  static const char* const kNames[kStageCount] = {"read",
                                                  "decipher",
                                                  "inflate (decoding thread)",
                                                  "inflate (writing thread)",
                                                  "inflate (helper threads)",
                                                  "write",
                                                  "sha-256",
                                                  "create/close",
                                                  "decoder waits for a block",
                                                  "writer waits for work",
                                                  "writer waits for a helper"};
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
  std::fprintf(stderr, "extraction stages, seconds (run %.3f)      wall      CPU\n", total);
  for (int i = 0; i < kStageCount; ++i)
    std::fprintf(stderr, "  %-38s %8.3f %8.3f\n", kNames[i], double(ns_[i].load()) / 1e9,
                 double(cpu_ns_[i].load()) / 1e9);
}

}  // namespace kestrum
