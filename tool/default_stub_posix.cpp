#include <filesystem>

#include "tool/cli_platform.h"
#include "tool/default_stub.h"

namespace fs = std::filesystem;

namespace kestrum {

// The stub installed with the tool (PREFIX/lib/kestrum beside PREFIX/bin,
// found from the tool's own path, so a relocated or DESTDIR copy finds its
// own), else the one beside it, or the build tree's Windows outputs (the
// 32-bit release stub first).
bool UseDefaultStub(PackOptions& options) {
  CliPlatform platform;
  const fs::path self = fs::path(platform.ExecutablePath()).parent_path();
  const fs::path candidates[] = {
      self / ".." / "lib" / "kestrum" / "kestrum-sfx.exe",
      self / "kestrum-sfx.exe",
      self / ".." / ".." / "win32" / "bin" / "kestrum-sfx.exe",
      self / ".." / ".." / "win64" / "bin" / "kestrum-sfx.exe",
  };
  for (const fs::path& c : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(c, ec)) {
      options.stub_path = c.lexically_normal().string();
      return true;
    }
  }
  return false;
}

}  // namespace kestrum
