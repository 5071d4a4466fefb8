#include "view/free_name.h"

namespace kestrum {

std::string FolderOf(const std::string& path, char separator) {
  const size_t cut = path.find_last_of("/" + std::string(1, separator));
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string FreeName(FileSystem& files, const std::string& path) {
  const std::string folder = FolderOf(path, files.Separator());
  const std::string name = path.substr(folder.size());
  const size_t dot = name.find_last_of('.');
  const bool has_ext = dot != std::string::npos && dot > 0;
  const std::string stem = has_ext ? name.substr(0, dot) : name;
  const std::string ext = has_ext ? name.substr(dot) : std::string();
  for (int i = 1;; ++i) {
    const std::string candidate = folder + stem + " (" + std::to_string(i) + ")" + ext;
    if (!files.IsFile(candidate) && files.FileSize(candidate) < 0) return candidate;
  }
}

}  // namespace kestrum
