// kestrum extract / kestrum test: start the worker, poll its progress the way
// the window does, report the outcome.
#include <chrono>
#include <cstdio>

#include "view/size_view.h"
#include "archive/unzipper.h"
#include "tool/cli_platform.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/progress_bar.h"
#include "view/terminal_text.h"

namespace kestrum {

int RunExtract(const Args& args, bool test_only) {
  std::string path, dir = ".";
  CliPlatform platform;
  bool overwrite_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!test_only && (a == "-o" || a == "--output")) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return UsageError("-o needs a folder");
      dir = args[++i];
    } else if (!test_only && a == "--overwrite") {
      const std::string mode = i + 1 < args.size() ? args[++i] : "";
      overwrite_given = true;
      if (mode == "replace")
        platform.overwrite = OverwriteMode::kReplace;
      else if (mode == "skip")
        platform.overwrite = OverwriteMode::kSkip;
      else if (mode == "rename")
        platform.overwrite = OverwriteMode::kRename;
      else
        return UsageError("--overwrite needs replace, skip or rename");
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else if (path.empty()) {
      path = a;
    } else {
      return UsageError("unexpected argument " + a);
    }
  }
  if (path.empty())
    return UsageError(std::string(test_only ? "test" : "extract") + " needs an archive");
  // On a terminal an existing file is asked about; elsewhere it is an error
  // unless --overwrite says what to do.
  if (!overwrite_given && IsTerminal(stdin) && IsTerminal(stderr))
    platform.overwrite = OverwriteMode::kAsk;

  UnZipper archive(platform);
  platform.hold_messages = true;
  if (const int failed = OpenArchive(archive, path)) return failed;
  archive.test_only = test_only;
  if (!test_only) {
    const char separator = platform.Files().Separator();
    const bool ends = dir.back() == '/' || dir.back() == separator;
    archive.destination = ends ? dir : dir + separator;
  }

  ProgressBar bar(test_only ? "testing" : "extracting");
  archive.Start();
  bool stopped = false;
  for (;;) {
    const bool active = !archive.WaitForWorkerFor(std::chrono::milliseconds(50));
    if (StopRequested() && !stopped) {
      stopped = true;
      archive.Stop();
    }
    if (!platform.asking) {
      RunningEntry current;
      const double ratio = archive.GetProgress(current);
      bar.Update(uint64_t(ratio * double(archive.SizeTotal())), archive.SizeTotal(), current.name);
    }
    if (!active) break;
  }
  archive.WaitForWorker();
  bar.Finish();
  if (stopped) return Stopped();

  if (archive.GetState() == ST_DONE)
    for (const std::string& line : platform.held) Write(stderr, line);
  if (archive.GetState() != ST_DONE) {
    std::string why = archive.extract_error();
    if (platform.overwrite == OverwriteMode::kFail && why.size() > 15 &&
        why.compare(why.size() - 15, 15, " exists already") == 0)
      why += " (use --overwrite replace, skip or rename)";
    return Failure(path + ": " + why);
  }
  const SizeView sizes;
  size_t unchecked = 0;  // stored raw with no manifest: nothing to check them by
  for (const ArchiveEntry& e : archive.entries)
    if (e.stored_raw && e.size && !archive.HasManifest()) ++unchecked;
  const std::string all = sizes.Format(int64_t(archive.size_total));
  if (test_only && archive.HasManifest())
    Print("%s: all %zu files are intact (%s), every byte checked against the manifest\n",
          TerminalSafe(path).c_str(), archive.entries.size(), all.c_str());
  else if (test_only && unchecked == 0)
    Print("%s: all %zu files are intact (%s)\n", TerminalSafe(path).c_str(), archive.entries.size(),
          all.c_str());
  else if (test_only)
    Print(
        "%s: all %zu files read (%s); %zu stored uncompressed cannot be checked: the archive "
        "has no manifest\n",
        TerminalSafe(path).c_str(), archive.entries.size(), all.c_str(), unchecked);
  else
    Print("extracted %zu files (%s) into %s\n", archive.entries.size(),
          sizes.Format(int64_t(archive.size_total)).c_str(), TerminalSafe(dir).c_str());
  return 0;
}

}  // namespace kestrum
