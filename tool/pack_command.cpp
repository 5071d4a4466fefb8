#include <cerrno>
#include <cstdio>

#include "view/size_view.h"
#include "archive/byte_stream.h"
#include "i18n/language_code.h"
#include "tool/archive_writer.h"
#include "tool/chunk_encoder.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/default_stub.h"
#include "tool/png_image.h"
#include "tool/progress_bar.h"
#include "tool/reproducible_key.h"
#include "tool/system_error.h"

namespace kestrum {
namespace {

bool ReadTextFile(const std::string& path, std::string& out) {
  std::FILE* file = OpenFileUtf8(path, "rb");
  if (!file) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, n);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

bool ParseLanguage(const std::string& text, uint32_t& code) {
  if (text == "0") {
    code = 0;
    return true;
  }
  code = ParseLanguageCode(text);
  return code != 0;
}

// The command line into options; 0, or the exit code of a refusal. The
// pictures are named here and read once the line is known to be sound.
int ParsePackArgs(const Args& args, PackOptions& o, std::string& icon, std::string& banner) {
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
      if (!value(o.output)) return UsageError("-o needs a path");
    } else if (a == "--stub") {
      if (!value(o.stub_path)) return UsageError("--stub needs a path");
    } else if (a == "--name") {
      if (!value(o.name)) return UsageError("--name needs a text");
    } else if (a == "--description") {
      if (!value(v)) return UsageError("--description needs a text or @FILE");
      if (!v.empty() && v[0] == '@') {
        if (!ReadTextFile(v.substr(1), o.description))
          return Failure(CannotOpen(v.substr(1), errno));
      } else {
        o.description = v;
      }
    } else if (a == "--language") {
      if (!value(v) || !ParseLanguage(v, o.language))
        return UsageError("--language needs a code such as enUS or deDE, or 0");
    } else if (a == "--raw") {
      o.raw = true;
    } else if (a == "--reproducible") {
      o.reproducible = true;
    } else if (a == "--no-manifest") {
      o.manifest = false;
    } else if (a == "--level") {
      if (!value(v) || !ParseSize(v, number) || number > kMaxLevel)
        return UsageError("--level needs a number from 0 to " + std::to_string(kMaxLevel));
      o.level = static_cast<int>(number);
    } else if (a == "--threads") {
      if (!value(v) || !ParseSize(v, number) || number == 0 || number > 256)
        return UsageError("--threads needs a number from 1 to 256");
      o.threads = static_cast<int>(number);
    } else if (a == "--chunk-size") {
      if (!value(v) || !ParseSize(v, number) || number == 0 || number > kMaxChunkBody)
        return UsageError("--chunk-size needs a size from 1 byte to 10M");
      o.chunk_size = static_cast<uint32_t>(number);
    } else if (a == "--icon") {
      if (!value(icon)) return UsageError("--icon needs a PNG file");
    } else if (a == "--banner") {
      if (!value(banner)) return UsageError("--banner needs a PNG file");
    } else if (a == "--split") {
      if (!value(v) || !ParseSize(v, number) || number == 0)
        return UsageError("--split needs a size such as 100M");
      o.split_size = number;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else if (o.source_dir.empty()) {
      o.source_dir = a;
    } else {
      return UsageError("unexpected argument " + a);
    }
  }
  if (o.source_dir.empty()) return UsageError("pack needs a folder to pack");
  if (o.output.empty()) return UsageError("pack needs an output path (-o OUT.exe)");
  return 0;
}

}  // namespace

int RunPack(const Args& args) {
  PackOptions o;
  o.reproducible = ReproducibleFromEnvironment();
  std::string icon, banner;
  if (const int refused = ParsePackArgs(args, o, icon, banner)) return refused;
  if (o.stub_path.empty() && !UseDefaultStub(o))
    return Failure("no stub found; build it or pass --stub PATH");
  std::string error;
  if (!icon.empty() && !LoadPngImage(icon, o.icon, error)) return Failure(error);
  if (!banner.empty() && !LoadPngImage(banner, o.banner, error)) return Failure(error);

  ProgressBar bar("packing");
  PackSummary summary;
  const bool ok = PackArchive(
      o,
      [&](uint64_t done, uint64_t total, const std::string& name) {
        bar.Update(done, total, name);
        return !StopRequested();
      },
      summary, error);
  bar.Finish();
  if (!ok && error == kPackStopped) return Stopped();
  if (!ok) return Failure(error);
  for (const std::string& path : summary.grown)
    Write(stderr, "kestrum: warning: " + path +
                      " grew while it was packed; only the size it had when listed is stored\n");
  SizeView sizes;
  std::string line =
      Format("packed %llu files (%s) into %s", static_cast<unsigned long long>(summary.files),
             sizes.Format(int64_t(summary.input_bytes)).c_str(), summary.outputs[0].c_str());
  if (summary.volume_count > 1) line += Format(" and %u volume files", summary.volume_count - 1);
  Write(stdout, line + "\n");
  return 0;
}

}  // namespace kestrum
