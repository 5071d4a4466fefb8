// The command-line tool run as a user runs it: exit codes and exact messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/archive_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/tool/fake_stub.h"

namespace kestrum {
namespace {

struct ToolRun {
  int code;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

ToolRun Kestrum(const std::string& args, const test::TempDir& dir) {
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  const std::string command =
      std::string(KESTRUM_TOOL) + " " + args + " >" + Quote(out) + " 2>" + Quote(err);
  const int status = std::system(command.c_str());
  const auto read = [](const std::string& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stub = dir.Write("stub.exe", test::FakeStub());
    dir.Write("src/a.txt", std::string("alpha\n"));
    dir.Write("src/sub/b.bin", std::string(3000, 'b'));
    dir.Write("src/empty", std::string());
    archive = dir.File("out.exe");
  }
  test::TempDir dir;
  std::string stub, archive;
};

TEST_F(CliTest, PackThenListJson) {
  ToolRun pack = Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(archive) + " --stub " +
                             Quote(stub) + " --name 'My files' --language deDE --description " +
                             Quote("[* bold] \"q\""),
                         dir);
  ASSERT_EQ(pack.code, 0) << pack.err;
  EXPECT_EQ(pack.err, "");
  EXPECT_EQ(pack.out, "packed 3 files (2.94 Kb) into " + archive + "\n");

  ToolRun list = Kestrum("list --json " + Quote(archive), dir);
  ASSERT_EQ(list.code, 0) << list.err;
  const std::string& j = list.out;
  EXPECT_NE(j.find("\"archive_name\": \"My files\""), std::string::npos) << j;
  EXPECT_NE(j.find("\"format\": 1,"), std::string::npos);
  EXPECT_NE(j.find("\"split\": false"), std::string::npos);
  EXPECT_NE(j.find("\"volume_count\": 1,"), std::string::npos);
  EXPECT_NE(j.find("\"language\": 136325,"), std::string::npos);
  EXPECT_NE(j.find("\"description\": \"[* bold] \\\"q\\\"\""), std::string::npos) << j;
  EXPECT_NE(j.find("\"text_records\": 0"), std::string::npos);
  EXPECT_NE(j.find("\"has_icon\": false"), std::string::npos);
  EXPECT_NE(j.find("{\"name\": \"sub\\\\b.bin\", \"size\": 3000,"), std::string::npos) << j;
  EXPECT_NE(j.find("{\"name\": \"empty\", \"size\": 0, \"stored_size\": 0, \"stored_raw\": false"),
            std::string::npos)
      << j;

  ToolRun text = Kestrum("list " + Quote(archive), dir);
  ASSERT_EQ(text.code, 0);
  EXPECT_NE(text.out.find("Archive:      My files\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Language:     deDE\n"), std::string::npos) << text.out;
}

TEST_F(CliTest, ErrorsAreOneLine) {
  EXPECT_EQ(Kestrum("list " + Quote(dir.File("none.exe")), dir).err,
            "kestrum: cannot open " + dir.File("none.exe") + "\n");
  ToolRun bare = Kestrum("list " + Quote(stub), dir);
  EXPECT_EQ(bare.code, 1);
  EXPECT_EQ(bare.err, "kestrum: " + stub + ": no archive is attached to this program\n");

  test::TestArchive hostile;
  test::TestEntry e;
  e.name = "..\\..\\evil.dll";
  hostile.entries = {e};
  const std::string bad = dir.Write("bad.exe", hostile.Build());
  ToolRun damaged = Kestrum("list --json " + Quote(bad), dir);
  EXPECT_EQ(damaged.code, 1);
  EXPECT_EQ(damaged.out, "");
  EXPECT_EQ(damaged.err, "kestrum: " + bad +
                             ": damaged archive: entry 1 (\"..\\..\\evil.dll\"): the name climbs "
                             "out of the destination\n");

  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")), dir).err,
            "kestrum: pack needs an output path (-o OUT.exe)\n");
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o x.exe --level 12", dir).err,
            "kestrum: --level needs a number from 0 to 9\n");
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("nowhere")) + " -o " + Quote(archive) + " --stub " +
                        Quote(stub),
                    dir)
                .err,
            "kestrum: " + dir.File("nowhere") + ": not a folder\n");
  EXPECT_EQ(Kestrum("frobnicate", dir).code, 2);
}

TEST_F(CliTest, SplitListsAllVolumes) {
  dir.Write("src/big.bin", test::RawChunks(std::string(200000, 'z')));
  ToolRun pack = Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(archive) + " --stub " +
                             Quote(stub) + " --level 0 --split 50K",
                         dir);
  ASSERT_EQ(pack.code, 0) << pack.err;
  EXPECT_NE(pack.out.find("and 3 volume files"), std::string::npos) << pack.out;
  ToolRun list = Kestrum("list --json " + Quote(archive), dir);
  EXPECT_NE(list.out.find("\"split\": true"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\"volume_count\": 4,"), std::string::npos) << list.out;

  std::remove(dir.File("out.002").c_str());
  ToolRun missing = Kestrum("list " + Quote(archive), dir);
  EXPECT_EQ(missing.code, 0);
  EXPECT_EQ(missing.err,
            "kestrum: warning: Not found all archive files, please place 4 files by "
            "mask " +
                dir.File("out") + ".* into current catalog\n");
}

}  // namespace
}  // namespace kestrum
