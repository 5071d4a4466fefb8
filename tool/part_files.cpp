#include "tool/part_files.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "archive/random_tag.h"
#include "platform/native_file_system.h"

namespace fs = std::filesystem;

namespace kestrum {

PartFiles::~PartFiles() {
  std::error_code ec;
  for (const std::string& path : created_) fs::remove(fs::u8path(path), ec);
}

OutFile PartFiles::Create(const std::string& path, bool temporary) {
  const std::string name = path + "." + RandomTag() + ".part";
  std::FILE* file = CreateNewStdioFile(name);
  const int error = file ? 0 : errno;
  // Only what was really created here is ever removed: a failed exclusive
  // create means the name belongs to somebody else.
  if (file) created_.push_back(name);
  if (file && !temporary) outputs_.emplace_back(name, path);
  return OutFile(path, file, error, temporary);
}

OutFile PartFiles::AddOutput(const std::string& path) {
  return Create(path, false);
}

OutFile PartFiles::AddTemporary(const std::string& path) {
  return Create(path, true);
}

bool PartFiles::Commit(std::string& error) {
  for (const auto& [created, real] : outputs_) {
    std::error_code ec;
    fs::rename(fs::u8path(created), fs::u8path(real), ec);
    if (ec) {
      error = "cannot rename " + created + " to " + real + ": " + ec.message();
      return false;
    }
    created_.erase(std::find(created_.begin(), created_.end(), created));
  }
  return true;
}

std::vector<std::string> PartFiles::outputs() const {
  std::vector<std::string> names;
  for (const auto& output : outputs_) names.push_back(output.second);
  return names;
}

}  // namespace kestrum
