#include "view/stub_options.h"

namespace kestrum {
namespace {

// Which options go with which action; a stray one is an error, not ignored.
bool Allowed(StubAction action, const std::string& option) {
  if (option == "--json") return action == StubAction::kList;
  if (option == "--log") return action == StubAction::kExtract || action == StubAction::kTest;
  return action == StubAction::kExtract;  // -o, --overwrite, --progress
}

}  // namespace

bool ParseStubOptions(const std::vector<std::string>& args, StubOptions& o, std::string& error) {
  o = StubOptions();
  std::vector<std::string> seen;  // options that need the action, checked at the end
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return false;
      out = args[++i];
      return true;
    };
    StubAction action = StubAction::kWindow;
    if (a == "--extract" || a == "-y" || a == "/S") {
      action = StubAction::kExtract;  // -y and /S: the peers' words for "no questions"
    } else if (a == "--list") {
      action = StubAction::kList;
    } else if (a == "--test") {
      action = StubAction::kTest;
    } else if (a == "--version") {
      action = StubAction::kVersion;
    } else if (a == "--help" || a == "-h" || a == "/?") {
      action = StubAction::kHelp;
    } else if (a == "-o" || a == "--output") {
      if (!value(o.output)) return error = a + " needs a folder", false;
      seen.push_back("-o");
    } else if (a == "--overwrite") {
      std::string mode;
      value(mode);
      if (mode == "replace")
        o.overwrite = StubOverwrite::kReplace;
      else if (mode == "skip")
        o.overwrite = StubOverwrite::kSkip;
      else if (mode == "rename")
        o.overwrite = StubOverwrite::kRename;
      else
        return error = "--overwrite needs replace, skip or rename", false;
      seen.push_back(a);
    } else if (a == "--progress") {
      o.progress = true;
      seen.push_back(a);
    } else if (a == "--json") {
      o.json = true;
      seen.push_back(a);
    } else if (a == "--log") {
      if (!value(o.log)) return error = "--log needs a file", false;
      seen.push_back(a);
    } else {
      return error = "unknown option " + a, false;
    }
    if (action != StubAction::kWindow) {
      if (o.action != StubAction::kWindow && o.action != action)
        return error = "only one of --extract, --list, --test, --version and --help", false;
      o.action = action;
    }
  }
  if (o.action == StubAction::kHelp || o.action == StubAction::kVersion) return true;
  for (const std::string& option : seen) {
    if (o.action == StubAction::kWindow)
      return error = option + " needs --extract, --list or --test", false;
    if (!Allowed(o.action, option)) return error = option + " does not go with this action", false;
  }
  return true;
}

const char* StubHelp() {
  return "usage: ARCHIVE.exe                 open the window\n"
         "       ARCHIVE.exe --extract [-o DIR] [--overwrite replace|skip|rename]\n"
         "                   [--progress] [--log FILE]\n"
         "       ARCHIVE.exe --list [--json]\n"
         "       ARCHIVE.exe --test [--log FILE]\n"
         "       ARCHIVE.exe --version | --help | /?\n"
         "\n"
         "  --extract          extract every file without the window, asking nothing\n"
         "  -o, --output DIR   the destination folder (default: the current folder)\n"
         "  --overwrite MODE   an existing file is replaced, skipped, or the new one is\n"
         "                     renamed to \"name (1).ext\"; without it an existing file\n"
         "                     fails the run before anything is written\n"
         "  --progress         show only a small progress window, with Cancel\n"
         "  --log FILE         write a record of each file and the outcome (UTF-8)\n"
         "  --list             show the archive's header and files (--json: as JSON)\n"
         "  --test             read and check every file, writing nothing\n"
         "  -y, /S             the same as --extract\n"
         "\n"
         "exit codes: 0 done, 1 failed (damaged data, a file that could not be written,\n"
         "a missing volume; the reason is printed), 2 wrong usage, 130 stopped by the\n"
         "user (Cancel, Ctrl+C; nothing half-written is left)\n";
}

}  // namespace kestrum
