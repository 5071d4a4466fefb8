#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "view/size_view.h"
#include "i18n/language_code.h"
#include "tool/archive_writer.h"
#include "tool/chunk_encoder.h"
#include "tool/cli_platform.h"
#include "tool/commands.h"
#include "tool/png_image.h"
#include "tool/progress_bar.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

// The stub built alongside the tool: beside it, or in the build tree's
// Windows outputs (the 32-bit release stub first).
std::string DefaultStub() {
  CliPlatform platform;
  const fs::path self = fs::path(platform.ExecutablePath()).parent_path();
  const fs::path candidates[] = {
      self / "kestrum-sfx.exe",
      self / ".." / ".." / "win32" / "bin" / "kestrum-sfx.exe",
      self / ".." / ".." / "win64" / "bin" / "kestrum-sfx.exe",
  };
  for (const fs::path& c : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(c, ec)) return c.lexically_normal().string();
  }
  return {};
}

bool ReadTextFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return true;
}

bool ParseLanguage(const std::string& text, uint32_t& code) {
  if (text == "0") {
    code = 0;
    return true;
  }
  code = ParseLanguageCode(text);
  return code != 0;
}

}  // namespace

int RunPack(const Args& args) {
  PackOptions o;
  std::string icon, banner;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    uint64_t number = 0;
    if (a == "-o" || a == "--output") {
      if (!value(o.output)) return Failure("-o needs a path");
    } else if (a == "--stub") {
      if (!value(o.stub_path)) return Failure("--stub needs a path");
    } else if (a == "--name") {
      if (!value(o.name)) return Failure("--name needs a text");
    } else if (a == "--description") {
      if (!value(v)) return Failure("--description needs a text or @FILE");
      if (!v.empty() && v[0] == '@') {
        if (!ReadTextFile(v.substr(1), o.description))
          return Failure("cannot read the description file " + v.substr(1));
      } else {
        o.description = v;
      }
    } else if (a == "--language") {
      if (!value(v) || !ParseLanguage(v, o.language))
        return Failure("--language needs a code such as enUS or deDE, or 0");
    } else if (a == "--raw") {
      o.raw = true;
    } else if (a == "--level") {
      if (!value(v) || !ParseSize(v, number) || number > kMaxLevel)
        return Failure("--level needs a number from 0 to " + std::to_string(kMaxLevel));
      o.level = static_cast<int>(number);
    } else if (a == "--threads") {
      if (!value(v) || !ParseSize(v, number) || number == 0 || number > 256)
        return Failure("--threads needs a number from 1 to 256");
      o.threads = static_cast<int>(number);
    } else if (a == "--chunk-size") {
      if (!value(v) || !ParseSize(v, number) || number == 0 || number > kMaxChunkBody)
        return Failure("--chunk-size needs a size from 1 byte to 10M");
      o.chunk_size = static_cast<uint32_t>(number);
    } else if (a == "--icon") {
      if (!value(icon)) return Failure("--icon needs a PNG file");
    } else if (a == "--banner") {
      if (!value(banner)) return Failure("--banner needs a PNG file");
    } else if (a == "--split") {
      if (!value(v) || !ParseSize(v, number) || number == 0)
        return Failure("--split needs a size such as 100M");
      o.split_size = number;
    } else if (!a.empty() && a[0] == '-') {
      return Failure("unknown option " + a);
    } else if (o.source_dir.empty()) {
      o.source_dir = a;
    } else {
      return Failure("unexpected argument " + a);
    }
  }
  if (o.source_dir.empty()) return Failure("pack needs a folder to pack");
  if (o.output.empty()) return Failure("pack needs an output path (-o OUT.exe)");
  if (o.stub_path.empty()) o.stub_path = DefaultStub();
  if (o.stub_path.empty()) return Failure("no stub found; build it or pass --stub PATH");
  std::string error;
  if (!icon.empty() && !LoadPngImage(icon, o.icon, error)) return Failure(error);
  if (!banner.empty() && !LoadPngImage(banner, o.banner, error)) return Failure(error);

  ProgressBar bar("packing");
  PackSummary summary;
  const bool ok = PackArchive(
      o,
      [&](uint64_t done, uint64_t total, const std::string& name) {
        bar.Update(done, total, name);
      },
      summary, error);
  bar.Finish();
  if (!ok) return Failure(error);
  SizeView sizes;
  std::printf("packed %llu files (%s) into %s", static_cast<unsigned long long>(summary.files),
              sizes.Format(int64_t(summary.input_bytes)).c_str(), summary.outputs[0].c_str());
  if (summary.volume_count > 1) std::printf(" and %u volume files", summary.volume_count - 1);
  std::printf("\n");
  return 0;
}

}  // namespace kestrum
