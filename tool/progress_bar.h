// A one-line progress bar on standard error, shown only on a terminal and
// only once an operation has taken more than a moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kestrum {

class ProgressBar {
 public:
  explicit ProgressBar(const char* verb);
  ~ProgressBar();
  void Update(uint64_t done, uint64_t total, const std::string& current);
  // Clears the line.
  void Finish();

 private:
  const char* verb_;
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace kestrum
