#include "tool/part_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kestrum {

PartFiles::~PartFiles() {
  std::error_code ec;
  for (const std::string& path : temporaries_) fs::remove(fs::u8path(PartName(path)), ec);
  for (const std::string& path : outputs_) fs::remove(fs::u8path(PartName(path)), ec);
}

std::string PartFiles::AddOutput(const std::string& path) {
  outputs_.push_back(path);
  return PartName(path);
}

std::string PartFiles::AddTemporary(const std::string& path) {
  temporaries_.push_back(path);
  return PartName(path);
}

bool PartFiles::Commit(std::string& error) {
  for (const std::string& path : outputs_) {
    std::error_code ec;
    fs::rename(fs::u8path(PartName(path)), fs::u8path(path), ec);
    if (ec) {
      error = "cannot rename " + PartName(path) + " to " + path + ": " + ec.message();
      return false;
    }
  }
  return true;
}

}  // namespace kestrum
