// The stub's command line. Started with no arguments it opens its window;
// with these it runs without a person, for scripts and deployment tools:
//
//   ARCHIVE.exe --extract [-o DIR] [--overwrite replace|skip|rename] [--progress] [--log FILE]
//   ARCHIVE.exe --list [--json]
//   ARCHIVE.exe --test [--log FILE]
//   ARCHIVE.exe --version | --help | /?
//
// The words are the `kestrum` tool's, so one vocabulary serves both.
#pragma once

#include <string>
#include <vector>

namespace kestrum {

enum class StubAction { kWindow, kExtract, kList, kTest, kVersion, kHelp };
enum class StubOverwrite { kFail, kReplace, kSkip, kRename };

// Exit codes, the tool's where they overlap.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;     // damaged data, a file not written, a missing volume
constexpr int kExitUsage = 2;      // a command line that makes no sense
constexpr int kExitStopped = 130;  // stopped by the user (Cancel, Ctrl+C)

struct StubOptions {
  StubAction action = StubAction::kWindow;
  std::string output = ".";  // the destination; the current folder, as the window's
  StubOverwrite overwrite = StubOverwrite::kFail;
  bool progress = false;
  bool json = false;
  std::string log;
};

// The arguments after the program's name; false with `error` naming what
// makes no sense.
bool ParseStubOptions(const std::vector<std::string>& args, StubOptions& options,
                      std::string& error);

// The text of --help.
const char* StubHelp();

}  // namespace kestrum
