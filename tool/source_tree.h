// The files of the folder being packed, with the names the archive stores.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrum {

struct SourceFile {
  std::string path;  // on disk
  std::string name;  // relative to the folder, backslashes between folders, UTF-8
  uint64_t size = 0;
};

// Says whether a file found in the folder is to be left out.
using LeaveOut = std::function<bool(const std::filesystem::path&)>;

// Collects the regular files under `dir` (symbolic links to files are followed,
// to folders not), sorted by stored name, leaving out those `leave_out` names.
// Fails on a name the archive cannot carry safely, and on a folder that
// cannot be read, naming it.
bool CollectSourceFiles(const std::string& dir, const LeaveOut& leave_out,
                        std::vector<SourceFile>& files, std::string& error);

}  // namespace kestrum
