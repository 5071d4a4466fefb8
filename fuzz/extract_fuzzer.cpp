// Extracts fuzzed archives into a scratch folder. Whatever the bytes say,
// nothing may appear outside that folder, and no temporary file may stay.
#include <unistd.h>

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
  {
    SandboxPlatform platform;
    platform.exe = exe.string();
    kestrum::UnZipper archive(platform);
    if (archive.Load() == kestrum::ST_DONE) {
      archive.destination = (box / "out").string() + "/";
      archive.Start();
      archive.WaitForWorker();
    }
  }
  // Only the archive, the output folder and the (empty) temporary folder.
  for (const auto& item : fs::directory_iterator(box)) {
    const std::string name = item.path().filename().string();
    if (name != "a.exe" && name != "out" && name != "tmp") std::abort();
  }
  if (!fs::is_empty(box / "tmp")) std::abort();
  std::error_code ec;
  fs::remove_all(box / "out", ec);
  return 0;
}
