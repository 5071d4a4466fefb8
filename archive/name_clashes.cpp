#include "archive/name_clashes.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "archive/windows_case.h"

namespace kestrum {
namespace {

// One file or folder a name stands for: the hash of its folded parts up to
// some depth, the entry it comes from, and whether it is a folder there; 12
// bytes, since a million names take a million of them and more.
struct Key {
  uint32_t hash_high, hash_low;
  uint32_t entry_and_folder;  // the entry, and the folder flag in the top bit
  uint64_t hash() const { return uint64_t(hash_high) << 32 | hash_low; }
  uint32_t entry() const { return entry_and_folder & ~kFolderBit; }
  bool folder() const { return entry_and_folder & kFolderBit; }
  static constexpr uint32_t kFolderBit = 1u << 31;
};

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool Before(const Key& a, const Key& b) {
  return a.hash() != b.hash() ? a.hash() < b.hash() : a.entry() < b.entry();
}

// Sorts by hash, keys of equal hash in their entries' order, in place: one
// pass moves each key into the bucket of its top 16 bits, and each bucket
// (a few keys) is then sorted on its own. No second array of keys is needed.
void SortByHash(std::vector<Key>& keys) {
  constexpr size_t kBuckets = 1u << 16;
  const auto bucket = [](const Key& k) { return k.hash_high >> 16; };
  std::vector<size_t> start(kBuckets + 1), next(kBuckets);
  for (const Key& k : keys) ++start[bucket(k) + 1];
  for (size_t b = 0; b < kBuckets; ++b) start[b + 1] += start[b];
  std::copy(start.begin(), start.end() - 1, next.begin());
  for (size_t b = 0; b < kBuckets; ++b) {
    while (next[b] < start[b + 1]) {
      Key& k = keys[next[b]];
      const size_t home = bucket(k);
      if (home == b)
        ++next[b];
      else
        std::swap(k, keys[next[home]++]);
    }
  }
  for (size_t b = 0; b < kBuckets; ++b)
    std::sort(keys.begin() + std::ptrdiff_t(start[b]), keys.begin() + std::ptrdiff_t(start[b + 1]),
              Before);
}

}  // namespace

bool FindNameClash(size_t count, const std::function<std::string_view(size_t)>& name_at,
                   NameClash& clash) {
  std::vector<Key> keys;
  keys.reserve(count + count / 64);
  std::vector<uint64_t> previous;  // the last name's folder hashes, by depth
  std::vector<uint64_t> hashes;
  for (size_t entry = 0; entry < count; ++entry) {
    const std::string_view name = name_at(entry);
    // FNV-1a over the folded UTF-16 units, one hash per part boundary.
    hashes.clear();
    uint64_t hash = 0xcbf29ce484222325ull;
    const std::u16string folded = WindowsFolded(name);
    bool in_part = false;
    for (char16_t c : folded) {
      if (c == u'\\' || c == u'/') {
        if (in_part) hashes.push_back(hash);
        in_part = false;
        continue;
      }
      if (!in_part && !hashes.empty()) hash = (hash ^ u'\\') * 0x100000001b3ull;
      in_part = true;
      hash = (hash ^ c) * 0x100000001b3ull;
    }
    if (in_part) hashes.push_back(hash);
    if (hashes.empty()) continue;
    const bool folder_entry = IsSeparator(name.back());
    for (size_t depth = 0; depth < hashes.size(); ++depth) {
      const bool last = depth + 1 == hashes.size();
      const bool folder = !last || folder_entry;
      // The folders of the name before are listed already.
      if (folder && depth < previous.size() && previous[depth] == hashes[depth]) continue;
      keys.push_back({uint32_t(hashes[depth] >> 32), uint32_t(hashes[depth]),
                      uint32_t(entry) | (folder ? Key::kFolderBit : 0)});
    }
    previous.assign(hashes.begin(), hashes.end() - (folder_entry ? 0 : 1));
  }
  SortByHash(keys);
  // Equal hashes are taken for equal names: a 64-bit hash of two different
  // names agrees by chance about once in 10^19 pairs, and a name crafted to
  // agree only gets its own archive refused. No name is compared twice, so
  // the check stays linear whatever the archive holds.
  bool found = false;
  for (size_t run = 0; run < keys.size();) {
    size_t end = run + 1;
    while (end < keys.size() && keys[end].hash() == keys[run].hash()) ++end;
    const Key* file = nullptr;
    for (size_t k = run; k < end && !file; ++k)
      if (!keys[k].folder()) file = &keys[k];
    const Key* other = nullptr;
    for (size_t k = run; file && k < end && !other; ++k)
      if (keys[k].entry() != file->entry()) other = &keys[k];
    if (other) {
      const size_t later = std::max(file->entry(), other->entry());
      if (!found || later < clash.later) {
        clash.later = later;
        clash.earlier = std::min(file->entry(), other->entry());
        clash.file_and_folder = other->folder();
        found = true;
      }
    }
    run = end;
  }
  return found;
}

}  // namespace kestrum
