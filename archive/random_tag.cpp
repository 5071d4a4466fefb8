#include "archive/random_tag.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>

namespace kestrum {

std::string RandomTag() {
  static std::mutex guard;
  static std::mt19937_64 rng = [] {
    std::random_device seed;
    return std::mt19937_64((uint64_t(seed()) << 32) ^ seed());
  }();
  std::lock_guard<std::mutex> hold(guard);
  char tag[17];
  std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(rng()));
  return tag;
}

}  // namespace kestrum
