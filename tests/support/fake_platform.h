// A platform for tests: a chosen executable path, messages and questions
// recorded, overwrite answers scripted.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "archive/platform.h"
#include "platform/native_file_system.h"

namespace kestrum::test {

class FakePlatform : public Platform {
 public:
  std::string executable;
  std::vector<std::string> messages;  // "title|text"
  std::vector<std::string> asked;     // paths the overwrite question named
  std::vector<std::string> refusals;  // the reason given with each question
  std::vector<std::string> failures;  // details of failed runs
  // Answers given in turn; when they run out the question is answered kAbort.
  std::deque<OverwriteAnswer> answers;

  std::string ExecutablePath() override { return executable; }
  void ShowMessage(const std::string& title, const std::string& text) override {
    messages.push_back(title + "|" + text);
  }
  OverwriteAnswer AskOverwrite(const std::string& existing_path,
                               const std::string& refused) override {
    asked.push_back(existing_path);
    refusals.push_back(refused);
    if (answers.empty()) return {};
    OverwriteAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  FileSystem& Files() override { return NativeFileSystem(); }
  void ShowExtractFailure(const std::string& detail) override {
    failures.push_back(detail);
    Platform::ShowExtractFailure(detail);
  }
};

}  // namespace kestrum::test
