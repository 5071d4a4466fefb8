#include "archive/name_store.h"

#include <cstring>
#include <stdexcept>

namespace kestrum {

uint32_t NameStore::Add(std::string_view name) {
  if (name.size() > kBlockBytes) throw std::length_error("an entry name is too long");
  // A name never straddles two blocks.
  if ((next_ & (kBlockBytes - 1)) + name.size() > kBlockBytes)
    next_ = (next_ | (kBlockBytes - 1)) + 1;
  if (next_ + name.size() > UINT32_MAX) throw std::length_error("the entry names are too long");
  const size_t block = size_t(next_ >> kBlockBits);
  if (block == blocks_.size()) blocks_.emplace_back(new char[kBlockBytes]);
  const uint32_t at = uint32_t(next_);
  if (!name.empty())
    std::memcpy(blocks_[block].get() + (at & (kBlockBytes - 1)), name.data(), name.size());
  next_ += name.size();
  return at;
}

}  // namespace kestrum
