// Entry names kept end to end in large blocks: a million names cost their
// bytes and a few dozen allocations, not a million strings. A name never
// moves once stored, and an entry finds it by a 32-bit position.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kestrum {

class NameStore {
 public:
  // Stores `name` (at most kBlockBytes) and returns its position; throws
  // std::length_error once the store would pass 4 GiB.
  uint32_t Add(std::string_view name);
  std::string_view View(uint32_t at, uint32_t size) const {
    if (size == 0) return {};
    return {blocks_[at >> kBlockBits].get() + (at & (kBlockBytes - 1)), size};
  }

  static constexpr int kBlockBits = 20;
  static constexpr uint32_t kBlockBytes = 1u << kBlockBits;

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  uint64_t next_ = 0;  // position of the next free byte
};

}  // namespace kestrum
