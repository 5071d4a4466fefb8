#include "app/unattended.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/progress_window.h"
#include "app/stub_console.h"
#include "app/win_platform.h"
#include "archive/byte_stream.h"
#include "archive/entry_name.h"
#include "archive/unzipper.h"
#include "i18n/format.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"
#include "kestrum_version.h"
#include "platform/stop_requests.h"
#include "ui/message_box.h"
#include "view/archive_listing.h"
#include "view/free_name.h"
#include "view/size_view.h"
#include "view/terminal_text.h"

namespace kestrum {
namespace {

// Never asks: an existing file is decided by --overwrite; messages are kept
// for the end of the run.
class UnattendedPlatform : public WinPlatform {
 public:
  explicit UnattendedPlatform(StubOverwrite overwrite) : overwrite_(overwrite) {}
  void ShowMessage(const std::string&, const std::string& text) override {
    messages.push_back(text);
  }
  OverwriteAnswer AskOverwrite(const std::string& existing_path,
                               const std::string& refused) override {
    switch (overwrite_) {
      case StubOverwrite::kReplace:
        return {OverwriteChoice::kReplace, {}};
      case StubOverwrite::kSkip:
        return {OverwriteChoice::kSkip, {}};
      case StubOverwrite::kRename:
        if (refused.empty()) return {OverwriteChoice::kNewPath, FreeName(Files(), existing_path)};
        break;
      case StubOverwrite::kFail:
        break;
    }
    return {OverwriteChoice::kAbort, {}};
  }
  void ShowExtractFailure(const std::string&) override {}

  std::vector<std::string> messages;

 private:
  StubOverwrite overwrite_;
};

// A plain UTF-8 record of the run for deployment tools; nothing when no
// --log was given or the file cannot be written (said once). The per-file
// lines and the "failed: " / "stopped by the user" markers stay English
// whatever the interface language: scripts read them.
class RunLog {
 public:
  RunLog(const std::string& path, StubConsole& console) {
    if (path.empty()) return;
    file_ = OpenFileUtf8(path, "ab");
    if (!file_)
      console.Err("kestrum-sfx: " + FormatPattern(t_("cannot write the log %s"), {path}) + "\n");
  }
  ~RunLog() {
    if (file_) std::fclose(file_);
  }
  void Line(const std::string& text) {
    if (file_) std::fprintf(file_, "%s\n", text.c_str());
  }

 private:
  std::FILE* file_ = nullptr;
};

std::string Relative(std::string_view name) {
  std::string relative(name);
  for (char& c : relative)
    if (c == '/') c = '\\';
  return relative;
}

// Without --overwrite an existing file fails the run before anything is
// written: every entry's path is looked at first, so a script never gets half
// an extraction. Empty, or the first path in the way.
std::string FirstInTheWay(UnZipper& archive, FileSystem& files) {
  for (const ArchiveEntry& e : archive.entries) {
    const std::string relative = Relative(archive.Name(e));
    const PathKind kind = files.LookIn(archive.destination, relative);
    const bool folder = IsFolderName(relative);
    if (kind == PathKind::kNothing || kind == PathKind::kNoFolder) continue;
    if (folder && kind == PathKind::kFolder) continue;
    return archive.destination + relative;
  }
  return {};
}

int Extract(const StubOptions& o, UnZipper& archive, UnattendedPlatform& platform,
            StubConsole& console, RunLog& log) {
  const bool test_only = o.action == StubAction::kTest;
  archive.test_only = test_only;
  if (!test_only) {
    const char last = o.output.back();
    archive.destination = last == '\\' || last == '/' ? o.output : o.output + '\\';
    if (o.overwrite == StubOverwrite::kFail) {
      platform.Files().CreateFolders(archive.destination);
      const std::string in_the_way = FirstInTheWay(archive, platform.Files());
      if (!in_the_way.empty()) {
        const std::string text = FormatPattern(
            t_("%s exists already (use --overwrite replace, skip or rename)"), {in_the_way});
        console.Err("kestrum-sfx: " + TerminalSafe(text) + "\n");
        log.Line("failed: " + text);
        return kExitFailed;
      }
    }
  }
  archive.Start();
  bool stopped = false;
  if (o.progress) {
    stopped = ShowProgressUntilDone(archive, archive.archive_name);
  } else {
    while (!archive.WaitForWorkerFor(std::chrono::milliseconds(50))) {
      if (StopRequested() && !stopped) {
        stopped = true;
        archive.Stop();
      }
    }
  }
  archive.WaitForWorker();
  stopped = stopped || StopRequested();

  for (size_t i = 0; i < archive.entries.size(); ++i)
    log.Line(
        std::string(archive.IsDoneAt(i) ? (test_only ? "intact: " : "extracted: ") : "not done: ") +
        std::string(archive.Name(i)));
  if (stopped) {
    console.Err(std::string("kestrum-sfx: ") + t_("stopped; no half-written file is left") + "\n");
    log.Line("stopped by the user");
    return kExitStopped;
  }
  if (archive.GetState() != ST_DONE) {
    // What the window would say, in the interface language, then the detail.
    const std::string why = archive.extract_error();
    for (const std::string& m : platform.messages) console.Err(TerminalSafe(m) + "\n");
    if (platform.messages.empty()) console.Err(TerminalSafe(t_("Very fail")) + "\n");
    console.Err("kestrum-sfx: " + TerminalSafe(why) + "\n");
    for (const std::string& m : platform.messages) log.Line(m);
    log.Line("failed: " + why);
    return kExitFailed;
  }
  const SizeView sizes;
  const std::string size = sizes.Format(int64_t(archive.size_total));
  const std::string count = std::to_string(archive.entries.size());
  std::string done;
  if (!test_only)
    done = FormatPattern(t_("extracted %d files (%s) into %s"), {count, size, o.output});
  else if (archive.HasManifest())
    done = FormatPattern(
        t_("all %d files are intact (%s), every byte checked against the manifest"), {count, size});
  else
    done = FormatPattern(t_("all %d files are intact (%s)"), {count, size});
  console.Out(TerminalSafe(done) + "\n");
  log.Line(done);
  return kExitDone;
}

}  // namespace

int RunUnattended(const StubOptions& o) {
  StubConsole console;
  if (o.action == StubAction::kHelp || o.action == StubAction::kVersion) {
    const std::string text = o.action == StubAction::kHelp
                                 ? std::string(StubHelp())
                                 : std::string("kestrum-sfx " KESTRUM_VERSION "\n");
    if (console.reaches())
      console.Out(text);
    else
      ui::ShowCloseMessage(nullptr, t_("Kestrum Vondrel"), text);
    return kExitDone;
  }
  CatchStopRequests();
  // Messages follow the interface language as the window's do: the
  // archive's, else the system's.
  SetCurrentLanguage(InterfaceLanguage(SystemLanguage()).lang);
  UnattendedPlatform platform(o.overwrite);
  UnZipper archive(platform);
  RunLog log(o.log, console);
  const int loaded = archive.Load();
  if (loaded != ST_DONE) {
    const std::string why =
        loaded == ST_NO_ARCHIVE
            ? std::string(t_("no archive is attached to this program"))
            : FormatPattern(t_("damaged archive: %s"), {archive.load_error().message});
    console.Err("kestrum-sfx: " + TerminalSafe(why) + "\n");
    log.Line("failed: " + why);
    return kExitFailed;
  }
  if (archive.header.language) SetCurrentLanguage(InterfaceLanguage(archive.header.language).lang);
  if (o.action == StubAction::kList) {
    for (const std::string& m : platform.messages)
      console.Err("kestrum-sfx: warning: " + TerminalSafe(m) + "\n");
    // The digests stay in the file until a listing or a run needs them.
    if (o.json && !archive.ReadManifest()) {
      const std::string why =
          FormatPattern(t_("damaged archive: %s"), {"the manifest cannot be read"});
      console.Err("kestrum-sfx: " + TerminalSafe(why) + "\n");
      log.Line("failed: " + why);
      return kExitFailed;
    }
    console.Out(o.json ? ListingJson(archive) : ListingText(archive));
    return kExitDone;
  }
  const int code = Extract(o, archive, platform, console, log);
  StopHandled();
  return code;
}

}  // namespace kestrum
