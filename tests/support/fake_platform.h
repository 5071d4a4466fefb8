// A platform for tests: a chosen executable path, messages recorded.
#pragma once

#include <string>
#include <vector>

#include "archive/platform.h"

namespace kestrum::test {

class FakePlatform : public Platform {
 public:
  std::string executable;
  std::vector<std::string> messages;  // "title|text"

  std::string ExecutablePath() override { return executable; }
  void ShowMessage(const std::string& title, const std::string& text) override {
    messages.push_back(title + "|" + text);
  }
};

}  // namespace kestrum::test
