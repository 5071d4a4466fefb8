#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace kestrum::test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path p = fs::temp_directory_path() /
                     ("kestrum-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(p);
  path_ = p.u8string();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(fs::u8path(path_), ec);
}

std::string TempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

std::string TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  const fs::path p = fs::u8path(File(name));
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return File(name);
}

std::string TempDir::Write(const std::string& name, const std::string& text) const {
  return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kestrum::test
