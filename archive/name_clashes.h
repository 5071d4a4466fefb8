// Entries that Windows would store as one file: names equal after its
// upper-casing, with '/' and '\' alike and empty parts dropped. A file and a
// folder of the same name clash too ("a" and "a\b", in either order); two
// folders of the same name are one folder and do not.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace kestrum {

struct NameClash {
  size_t later = 0;  // index of the entry that clashes with an earlier one
  size_t earlier = 0;
  bool file_and_folder = false;
};

// Finds a clash among `count` names (entry names in table order, name(i)
// the i-th); false when there is none. Memory: 12 bytes per name and folder,
// whatever the names' length; time: one pass over the names and a sort.
bool FindNameClash(size_t count, const std::function<std::string_view(size_t)>& name,
                   NameClash& clash);

}  // namespace kestrum
