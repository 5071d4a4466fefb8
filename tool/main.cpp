// kestrum: packs, lists, tests and extracts self-extracting archives.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win_text.h"
#endif
#include "tool/commands.h"
#include "kestrum_version.h"
#include "tool/console.h"
#include "tool/help.h"
#include "view/terminal_text.h"

namespace kestrum {

// Messages quote names from archives: printed escaped, they stay one line.
int Failure(const std::string& message) {
  Write(stderr, "kestrum: " + TerminalSafe(message) + "\n");
  return 1;
}

int UsageError(const std::string& message) {
  Write(stderr, "kestrum: " + TerminalSafe(message) + "\n");
  return 2;
}

int Stopped() {
  Write(stderr, "kestrum: stopped; no half-written file is left\n");
  StopHandled();
  return 130;
}

bool ParseSize(const std::string& text, uint64_t& out) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  size_t used = 0;
  unsigned long long value;
  try {
    value = std::stoull(text, &used, 10);
  } catch (...) {
    return false;
  }
  std::string suffix = text.substr(used);
  uint64_t scale = 1;
  if (suffix == "K" || suffix == "k" || suffix == "KiB")
    scale = 1ull << 10;
  else if (suffix == "M" || suffix == "m" || suffix == "MiB")
    scale = 1ull << 20;
  else if (suffix == "G" || suffix == "g" || suffix == "GiB")
    scale = 1ull << 30;
  else if (!suffix.empty())
    return false;
  if (value > UINT64_MAX / scale) return false;
  out = value * scale;
  return true;
}

}  // namespace kestrum

namespace {

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}

int Run(const std::vector<std::string>& argv) {
  kestrum::InitConsole();
  kestrum::CatchStopRequests();
  if (argv.size() < 2) {
    kestrum::Write(stderr, kestrum::OverviewHelp());
    return 2;
  }
  const std::string& command = argv[1];
  if (IsHelp(command)) {
    kestrum::Write(stdout, kestrum::OverviewHelp());
    return 0;
  }
  if (command == "--version") {
    kestrum::Write(stdout, "kestrum " KESTRUM_VERSION "\n");
    return 0;
  }
  const char* help = kestrum::CommandHelp(command);
  if (!help) {
    kestrum::Write(stderr,
                   "kestrum: unknown command '" + command + "'\n" + kestrum::OverviewHelp());
    return 2;
  }
  const kestrum::Args args(argv.begin() + 2, argv.end());
  for (const std::string& a : args) {
    if (IsHelp(a)) {
      kestrum::Write(stdout, help);
      return 0;
    }
  }
  if (command == "pack") return kestrum::RunPack(args);
  if (command == "list") return kestrum::RunList(args);
  if (command == "extract") return kestrum::RunExtract(args, false);
  return kestrum::RunExtract(args, true);
}

}  // namespace

#ifdef _WIN32
// The arguments as UTF-16 from the system, so every name survives whatever
// the ANSI code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(kestrum::win::Utf8(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv, argv + argc));
}
#endif
