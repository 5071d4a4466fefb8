#include "archive/name_clashes.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "archive/windows_case.h"

namespace kestrum {
namespace {

// One file or folder a name stands for: the hash of its folded parts up to
// some depth, the entry it comes from, and whether it is a folder there.
struct Key {
  uint64_t hash;
  uint32_t entry;
  bool folder;
};

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Sorts by hash, keys of equal hash in their order (that of their entries):
// a radix sort in four passes of 16 bits, several times faster than a
// comparison sort on a million keys.
void SortByHash(std::vector<Key>& keys) {
  std::vector<Key> other(keys.size());
  std::vector<uint32_t> count(1u << 16);
  for (int shift = 0; shift < 64; shift += 16) {
    std::fill(count.begin(), count.end(), 0u);
    for (const Key& k : keys) ++count[(k.hash >> shift) & 0xFFFF];
    uint32_t at = 0;
    for (uint32_t& c : count) at += std::exchange(c, at);
    for (const Key& k : keys) other[count[(k.hash >> shift) & 0xFFFF]++] = k;
    keys.swap(other);
  }
}

}  // namespace

bool FindNameClash(const std::vector<const std::string*>& names, NameClash& clash) {
  std::vector<Key> keys;
  keys.reserve(names.size() + names.size() / 4);
  std::vector<uint64_t> previous;  // the last name's folder hashes, by depth
  std::vector<uint64_t> hashes;
  for (size_t entry = 0; entry < names.size(); ++entry) {
    const std::string& name = *names[entry];
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
      keys.push_back({hashes[depth], uint32_t(entry), folder});
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
    while (end < keys.size() && keys[end].hash == keys[run].hash) ++end;
    const Key* file = nullptr;
    for (size_t k = run; k < end && !file; ++k)
      if (!keys[k].folder) file = &keys[k];
    const Key* other = nullptr;
    for (size_t k = run; file && k < end && !other; ++k)
      if (keys[k].entry != file->entry) other = &keys[k];
    if (other) {
      const size_t later = std::max(file->entry, other->entry);
      if (!found || later < clash.later) {
        clash.later = later;
        clash.earlier = std::min(file->entry, other->entry);
        clash.file_and_folder = other->folder;
        found = true;
      }
    }
    run = end;
  }
  return found;
}

}  // namespace kestrum
