// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;
  // Writes a file below the folder, creating its parents; returns its path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
};

std::vector<uint8_t> ReadAll(const std::string& path);

}  // namespace kestrum::test
