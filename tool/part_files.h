// The files a pack run writes under their ".part" names: the outputs, renamed
// to their real names when the run commits, and temporaries. Whatever is left
// under a ".part" name when the guard goes away is removed, so a run that fails
// at any step leaves nothing behind.
#pragma once

#include <string>
#include <vector>

namespace kestrum {

class PartFiles {
 public:
  PartFiles() = default;
  PartFiles(const PartFiles&) = delete;
  PartFiles& operator=(const PartFiles&) = delete;
  ~PartFiles();

  // Each returns the ".part" name to write `path` under.
  std::string AddOutput(const std::string& path);
  std::string AddTemporary(const std::string& path);
  // Renames every output to its real name, in the order added.
  bool Commit(std::string& error);
  const std::vector<std::string>& outputs() const { return outputs_; }

  static std::string PartName(const std::string& path) { return path + ".part"; }

 private:
  std::vector<std::string> outputs_;
  std::vector<std::string> temporaries_;
};

}  // namespace kestrum
