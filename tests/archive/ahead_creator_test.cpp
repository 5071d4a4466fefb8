// Files made ahead of the writing half: the ones taken are the caller's, the
// ones passed over or never reached go at the end, and a name that exists
// already is neither made nor removed.
#include "archive/ahead_creator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/native_file_system.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

TEST(AheadCreator, KeepsWhatIsTakenAndRemovesTheRest) {
  test::TempDir dir;
  dir.Write("out/e5", std::string("mine"));
  const std::string root = dir.File("out");
  AheadCreator ahead(NativeFileSystem(), root, 300, [](size_t i) {
    return i % 7 == 3 ? std::string() : "e" + std::to_string(i);  // every 7th is a folder
  });
  ahead.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it run ahead
  int made_ahead = 0;
  for (size_t i = 0; i < 150; i += 2) {  // the odd ones are passed over
    std::unique_ptr<OutputFile> file = ahead.Take(i);
    if (i % 7 == 3) {
      EXPECT_FALSE(file) << i;
    }
    if (!file) continue;
    ++made_ahead;
    EXPECT_TRUE(file->Write("x", 1));
    EXPECT_TRUE(file->Close());
  }
  ahead.Stop();
  EXPECT_GT(made_ahead, 0);
  for (const auto& item : fs::directory_iterator(fs::u8path(root))) {
    const std::string name = item.path().filename().u8string();
    std::ifstream in(item.path(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (name == "e5") {
      EXPECT_EQ(content.str(), "mine");
      continue;
    }
    const size_t n = std::stoul(name.substr(1));
    EXPECT_TRUE(n % 2 == 0 && n < 150) << name << " was not taken, yet it stays";
    EXPECT_EQ(content.str(), "x") << name;
  }
}

}  // namespace
}  // namespace kestrum
