// The core's platform services for the command-line tool: messages go to
// standard error as warnings; an existing file is handled as the user said
// with --overwrite, or asked about on a terminal.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/platform.h"
#include "platform/native_file_system.h"
#include "tool/console.h"
#include "view/terminal_text.h"

namespace kestrum {

enum class OverwriteMode { kAsk, kReplace, kSkip, kRename, kFail };

class CliPlatform : public Platform {
 public:
  std::string ExecutablePath() override;
  void ShowMessage(const std::string& title, const std::string& text) override {
    (void)title;
    const std::string line = "kestrum: warning: " + TerminalSafe(text) + "\n";
    if (hold_messages)
      held.push_back(line);
    else
      Write(stderr, line);
  }
  OverwriteAnswer AskOverwrite(const std::string& existing_path,
                               const std::string& refused) override;
  FileSystem& Files() override { return NativeFileSystem(); }
  // The command prints the failure itself, with its detail.
  void ShowExtractFailure(const std::string&) override {}

  OverwriteMode overwrite = OverwriteMode::kFail;
  // True while a question is on the terminal, so the progress bar keeps off it.
  std::atomic<bool> asking{false};
  // Messages are kept in `held` instead of printed: a run that fails says
  // why in one line of its own (a missing volume would otherwise be told at
  // loading, again when the run meets it, and in the failure).
  bool hold_messages = false;
  std::vector<std::string> held;
};

}  // namespace kestrum
