// The core's platform services for the command-line tool: messages go to
// standard error as warnings; an existing file is handled as the user said
// with --overwrite, or asked about on a terminal.
#pragma once

#include <atomic>
#include <cstdio>

#include "archive/platform.h"
#include "platform/native_file_system.h"
#include "tool/console.h"
#include "tool/terminal_text.h"

namespace kestrum {

enum class OverwriteMode { kAsk, kReplace, kSkip, kRename, kFail };

class CliPlatform : public Platform {
 public:
  std::string ExecutablePath() override;
  void ShowMessage(const std::string& title, const std::string& text) override {
    (void)title;
    Write(stderr, "kestrum: warning: " + TerminalSafe(text) + "\n");
  }
  OverwriteAnswer AskOverwrite(const std::string& existing_path,
                               const std::string& refused) override;
  FileSystem& Files() override { return NativeFileSystem(); }
  // The command prints the failure itself, with its detail.
  void ShowExtractFailure(const std::string&) override {}

  OverwriteMode overwrite = OverwriteMode::kFail;
  // True while a question is on the terminal, so the progress bar keeps off it.
  std::atomic<bool> asking{false};
};

}  // namespace kestrum
