// Extracts fuzzed archives into a scratch folder. Whatever the bytes say,
// nothing may appear outside that folder (not even through the links already
// in it), no temporary file may stay, and no file may get more bytes than the
// file table states for any entry. Memory is held under a ceiling by
// run-fuzz.sh (-rss_limit_mb, -malloc_limit_mb).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/unzipper.h"
#include "platform/native_file_system.h"

namespace fs = std::filesystem;

namespace {

class SandboxPlatform : public kestrum::Platform {
 public:
  std::string exe;
  std::string ExecutablePath() override { return exe; }
  void ShowMessage(const std::string&, const std::string&) override {}
  kestrum::OverwriteAnswer AskOverwrite(const std::string&, const std::string&) override {
    return {kestrum::OverwriteChoice::kReplace, {}};
  }
  void ShowExtractFailure(const std::string&) override {}
  kestrum::FileSystem& Files() override { return kestrum::NativeFileSystem(); }
};

const fs::path& Sandbox() {
  static const fs::path root = [] {
    fs::path p = fs::temp_directory_path() / ("kestrum-fuzz-" + std::to_string(getpid()));
    fs::create_directories(p / "tmp");
    fs::create_directories(p / "outside");
    setenv("TMP", (p / "tmp").c_str(), 1);
    return p;
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& box = Sandbox();
  const fs::path exe = box / "a.exe";
  if (std::FILE* f = std::fopen(exe.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  // Links already in the destination, to a folder and to a file outside it.
  fs::create_directories(box / "out");
  std::error_code ec;
  fs::create_directory_symlink(box / "outside", box / "out" / "l", ec);
  fs::create_symlink(box / "outside" / "f", box / "out" / "f", ec);
  uint64_t largest_entry = 0;
  {
    SandboxPlatform platform;
    platform.exe = exe.string();
    kestrum::UnZipper archive(platform);
    if (archive.Load() == kestrum::ST_DONE) {
      for (const kestrum::ArchiveEntry& e : archive.entries)
        largest_entry = std::max(largest_entry, e.size);
      archive.destination = (box / "out").string() + "/";
      archive.Start();
      archive.WaitForWorker();
    }
  }
  // Only the archive, the output folder and the (empty) temporary and outside folders.
  for (const auto& item : fs::directory_iterator(box)) {
    const std::string name = item.path().filename().string();
    if (name != "a.exe" && name != "out" && name != "tmp" && name != "outside") std::abort();
  }
  if (!fs::is_empty(box / "tmp") || !fs::is_empty(box / "outside")) std::abort();
  for (const auto& item : fs::recursive_directory_iterator(box / "out"))
    if (item.is_regular_file() && !item.is_symlink() && item.file_size() > largest_entry)
      std::abort();
  fs::remove_all(box / "out", ec);
  return 0;
}
