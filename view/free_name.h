// The new name that "rename" gives an extracted file whose name is taken:
// "name (1).ext", "name (2).ext", ..., the first that does not exist.
#pragma once

#include <string>

#include "archive/file_system.h"

namespace kestrum {

// The folder part of a path, with its last separator ('/' or `separator`).
std::string FolderOf(const std::string& path, char separator);
std::string FreeName(FileSystem& files, const std::string& path);

}  // namespace kestrum
