// The core's platform services for the command-line tool: messages go to
// standard error as warnings.
#pragma once

#include <cstdio>

#include "archive/platform.h"

namespace kestrum {

class CliPlatform : public Platform {
 public:
  std::string ExecutablePath() override;
  void ShowMessage(const std::string& title, const std::string& text) override {
    (void)title;
    std::fprintf(stderr, "kestrum: warning: %s\n", text.c_str());
  }
};

}  // namespace kestrum
