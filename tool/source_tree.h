// The files of the folder being packed, with the names the archive stores.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kestrum {

struct SourceFile {
  std::string path;  // on disk
  std::string name;  // relative to the folder, backslashes between folders, UTF-8
  uint64_t size = 0;
};

// Collects the regular files under `dir` (symbolic links to files are followed,
// to folders not), sorted by stored name. Paths in `exclude` (canonical) are
// left out. Fails on a name the archive cannot carry safely.
bool CollectSourceFiles(const std::string& dir, const std::set<std::string>& exclude,
                        std::vector<SourceFile>& files, std::string& error);

}  // namespace kestrum
