// Entries that Windows would store as one file: names equal after its
// upper-casing, with '/' and '\' alike and empty parts dropped. A file and a
// folder of the same name clash too ("a" and "a\b", in either order); two
// folders of the same name are one folder and do not.
#pragma once

#include <string>
#include <vector>

namespace kestrum {

struct NameClash {
  size_t later = 0;  // index of the entry that clashes with an earlier one
  size_t earlier = 0;
  bool file_and_folder = false;
};

// Finds a clash among `names` (entry names in table order); false when there
// is none. Memory: 32 bytes per name and folder, whatever the names' length;
// time: one pass over the names and a radix sort.
bool FindNameClash(const std::vector<const std::string*>& names, NameClash& clash);

}  // namespace kestrum
