// The command-line tool run as a user runs it: exit codes and exact messages.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "kestrum_version.h"
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
  EXPECT_NE(j.find("\"text_records\": 1,\n  \"manifest\": true,"), std::string::npos);
  EXPECT_NE(
      j.find("\"sha256\": \"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\""),
      std::string::npos);
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

TEST_F(CliTest, IconAndBannerFromPng) {
  // A 1 x 1 PNG, written out byte by byte (signature, IHDR, IDAT, IEND).
  const std::vector<uint8_t> png = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
      0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
      0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
      0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  const std::string icon = dir.Write("icon.png", png);
  ToolRun pack = Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(archive) + " --stub " +
                             Quote(stub) + " --icon " + Quote(icon) + " --banner " + Quote(icon),
                         dir);
  ASSERT_EQ(pack.code, 0) << pack.err;
  ToolRun list = Kestrum("list --json " + Quote(archive), dir);
  EXPECT_NE(list.out.find("\"has_icon\": true,\n  \"has_banner\": true"), std::string::npos)
      << list.out;
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(archive) + " --stub " +
                        Quote(stub) + " --icon " + Quote(stub),
                    dir)
                .code,
            1);
}

TEST_F(CliTest, ErrorsAreOneLine) {
  EXPECT_EQ(Kestrum("list " + Quote(dir.File("none.exe")), dir).err,
            "kestrum: cannot open " + dir.File("none.exe") + ": no such file or directory\n");
  ToolRun bare = Kestrum("list " + Quote(stub), dir);
  EXPECT_EQ(bare.code, 1);
  EXPECT_EQ(bare.err, "kestrum: " + stub +
                          ": not a self-extracting archive (a program with no archive "
                          "attached)\n");
  const std::string text = dir.Write("notes.txt", std::string("plain text, no program"));
  EXPECT_EQ(Kestrum("test " + Quote(text), dir).err,
            "kestrum: " + text + ": not a self-extracting archive\n");
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o x.exe --description @" +
                        Quote(dir.File("gone.qtf")),
                    dir)
                .err,
            "kestrum: cannot open " + dir.File("gone.qtf") + ": no such file or directory\n");

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
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o x.exe --level 13", dir).err,
            "kestrum: --level needs a number from 0 to 12\n");
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o x.exe --threads 0", dir).err,
            "kestrum: --threads needs a number from 1 to 256\n");
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("nowhere")) + " -o " + Quote(archive) + " --stub " +
                        Quote(stub),
                    dir)
                .err,
            "kestrum: " + dir.File("nowhere") + ": not a folder\n");
  EXPECT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(dir.File("no/out.exe")) +
                        " --stub " + Quote(stub),
                    dir)
                .err,
            "kestrum: cannot create " + dir.File("no/out.exe") + ": no such file or directory\n");
  EXPECT_EQ(Kestrum("frobnicate", dir).code, 2);
}

// Help, version and exit codes: 0 for help, 2 for a command line that makes no
// sense, 1 for a failure.
TEST_F(CliTest, HelpVersionAndExitCodes) {
  struct Case {
    std::string args;
    int code;
    std::string out_start;  // the start of standard output
  };
  const Case cases[] = {
      {"--help", 0, "usage: kestrum pack DIR"},
      {"--version", 0, "kestrum " KESTRUM_VERSION "\n"},
      {"pack --help", 0, "usage: kestrum pack DIR -o OUT.exe [options]\n\nPacks"},
      {"list -h", 0, "usage: kestrum list [--json] ARCHIVE.exe\n"},
      {"extract x.exe --help", 0, "usage: kestrum extract ARCHIVE.exe"},
      {"test --help", 0, "usage: kestrum test ARCHIVE.exe\n"},
      {"", 2, ""},
      {"list", 2, ""},
      {"extract a.exe --overwrite sometimes", 2, ""},
      {"pack src -o x.exe --split", 2, ""},
      {"test missing.exe", 1, ""},
  };
  for (const Case& c : cases) {
    const ToolRun run = Kestrum(c.args, dir);
    EXPECT_EQ(run.code, c.code) << c.args << ": " << run.err;
    EXPECT_EQ(run.out.substr(0, c.out_start.size()), c.out_start) << c.args;
    if (c.code != 0) {
      EXPECT_FALSE(run.err.empty()) << c.args;
    } else if (c.args != "--version") {
      EXPECT_NE(run.out.find("exit codes: 0 success, 1 failure"), std::string::npos) << c.args;
    }
  }
}

// Written out by hand: <regex> trips GCC 12's uninitialized-use warning in
// the sanitizer build.
bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The options a text names: "-o", "--level", ... (not "-sfx" inside a word).
std::set<std::string> OptionsIn(const std::string& text) {
  const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
  std::set<std::string> found;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '-' || (i > 0 && (IsWordChar(text[i - 1]) || text[i - 1] == '-'))) continue;
    size_t end = i + 1;
    if (end < text.size() && text[end] == '-') ++end;
    if (end >= text.size() || !lower(text[end])) continue;
    while (end < text.size() &&
           (lower(text[end]) || std::isdigit(static_cast<unsigned char>(text[end])) ||
            text[end] == '-'))
      ++end;
    found.insert(text.substr(i, end - i));
    i = end - 1;
  }
  return found;
}

// Whether `word` stands in `text` as a word of its own.
bool HasWord(const std::string& text, const std::string& word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const size_t after = at + word.size();
    if ((at == 0 || !IsWordChar(text[at - 1])) &&
        (after == text.size() || !IsWordChar(text[after])))
      return true;
  }
  return false;
}

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(KESTRUM_SOURCE_DIR) + "/" + relative);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The manual page's OPTIONS section and the completion offer exactly what
// --help describes, and every interface language.
TEST_F(CliTest, ManualAndCompletionAgreeWithHelp) {
  std::string help;
  for (const char* args : {"--help", "pack --help", "list --help", "extract --help", "test --help"})
    help += Kestrum(args, dir).out;
  const std::set<std::string> options = OptionsIn(help);
  ASSERT_GT(options.size(), 18u) << help;

  std::string manual = ReadSource("packaging/kestrum.1");
  for (size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.replace(at, 2, "-");
  const size_t from = manual.find(".SH OPTIONS"), to = manual.find(".SH", from + 1);
  ASSERT_NE(to, std::string::npos);
  EXPECT_EQ(OptionsIn(manual.substr(from, to - from)), options);

  // What the completion offers: its lists of words in quotes, not its own code.
  const std::string completion = ReadSource("packaging/kestrum.bash-completion");
  std::string offered;
  for (const std::string opening : {"options='", "-W '"}) {
    for (size_t at = completion.find(opening); at != std::string::npos;
         at = completion.find(opening, at + 1)) {
      const size_t from_word = at + opening.size(), end = completion.find('\'', from_word);
      if (end != std::string::npos)
        offered += " " + completion.substr(from_word, end - from_word) + " ";
    }
  }
  EXPECT_EQ(OptionsIn(offered), options);
  for (const LanguageRow& row : LanguageTable) {
    EXPECT_TRUE(HasWord(offered, FormatLanguageCode(row.lang))) << FormatLanguageCode(row.lang);
    EXPECT_TRUE(HasWord(manual, FormatLanguageCode(row.lang))) << FormatLanguageCode(row.lang);
  }
}

// With SOURCE_DATE_EPOCH set, or --reproducible, two packs of the same folder
// are the same bytes; without either, the key block is fresh every time.
TEST_F(CliTest, ReproducibleWithSourceDateEpochOrTheOption) {
  const auto pack = [&](const std::string& out, const std::string& extra) {
    const ToolRun run = Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(dir.File(out)) +
                                    " --stub " + Quote(stub) + extra,
                                dir);
    EXPECT_EQ(run.code, 0) << run.err;
    return test::ReadAll(dir.File(out));
  };
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  const std::vector<uint8_t> a = pack("a.exe", " --threads 1"), b = pack("b.exe", " --threads 3");
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == pack("c.exe", " --reproducible"));
  EXPECT_FALSE(a == pack("d.exe", ""));
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
  // Extracting says it once, as the failure.
  ToolRun extract = Kestrum("extract " + Quote(archive) + " -o " + Quote(dir.File("dst")), dir);
  EXPECT_EQ(extract.code, 1);
  EXPECT_EQ(extract.err, "kestrum: " + archive + ": " + dir.File("out.002") +
                             " is missing or belongs to another archive\n");
}

}  // namespace
}  // namespace kestrum

namespace kestrum {
namespace {

class CliExtractTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(Kestrum("pack " + Quote(dir.File("src")) + " -o " + Quote(archive) + " --stub " +
                          Quote(stub) + " --chunk-size 1K",
                      dir)
                  .code,
              0);
    out = dir.File("out");
  }
  std::string Content(const std::string& path) {
    const auto bytes = test::ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
  }
  std::string out;
};

TEST_F(CliExtractTest, ExtractAndTest) {
  ToolRun run = Kestrum("extract " + Quote(archive) + " -o " + Quote(out), dir);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "extracted 3 files (2.94 Kb) into " + out + "\n");
  EXPECT_EQ(Content(out + "/a.txt"), "alpha\n");
  EXPECT_EQ(Content(out + "/sub/b.bin"), std::string(3000, 'b'));
  EXPECT_EQ(Content(out + "/empty"), "");

  ToolRun check = Kestrum("test " + Quote(archive), dir);
  EXPECT_EQ(check.code, 0);
  EXPECT_EQ(check.out, archive +
                           ": all 3 files are intact (2.94 Kb), every byte checked against the "
                           "manifest\n");
}

TEST_F(CliExtractTest, ExistingFilesNeedAnAnswerOffTheTerminal) {
  ASSERT_EQ(Kestrum("extract " + Quote(archive) + " -o " + Quote(out), dir).code, 0);
  dir.Write("out/a.txt", std::string("mine"));
  ToolRun again = Kestrum("extract " + Quote(archive) + " -o " + Quote(out) + " </dev/null", dir);
  EXPECT_EQ(again.code, 1);
  EXPECT_EQ(again.err, "kestrum: " + archive + ": " + out +
                           "/a.txt exists already (use --overwrite replace, skip or rename)\n");
  EXPECT_EQ(Content(out + "/a.txt"), "mine");

  EXPECT_EQ(
      Kestrum("extract " + Quote(archive) + " -o " + Quote(out) + " --overwrite skip", dir).code,
      0);
  EXPECT_EQ(Content(out + "/a.txt"), "mine");
  EXPECT_EQ(
      Kestrum("extract " + Quote(archive) + " -o " + Quote(out) + " --overwrite rename", dir).code,
      0);
  EXPECT_EQ(Content(out + "/a.txt"), "mine");
  EXPECT_EQ(Content(out + "/a (1).txt"), "alpha\n");
  EXPECT_EQ(Content(out + "/sub/b (1).bin"), std::string(3000, 'b'));
  EXPECT_EQ(
      Kestrum("extract " + Quote(archive) + " -o " + Quote(out) + " --overwrite replace", dir).code,
      0);
  EXPECT_EQ(Content(out + "/a.txt"), "alpha\n");
  EXPECT_EQ(Kestrum("extract " + Quote(archive) + " --overwrite always", dir).err,
            "kestrum: --overwrite needs replace, skip or rename\n");
}

TEST_F(CliExtractTest, DamageIsNamedAndNothingHalfWrittenStays) {
  // The last byte of sub\b.bin's last chunk: its gzip length field, enciphered.
  ToolRun list = Kestrum("list --json " + Quote(archive), dir);
  const size_t at = list.out.find("\"name\": \"sub\\\\b.bin\"");
  ASSERT_NE(at, std::string::npos);
  const auto field = [&](const char* key) {
    const size_t k = list.out.find(key, at);
    return std::stoull(list.out.substr(k + std::strlen(key)));
  };
  const uint64_t end = field("\"data_offset\": ") + field("\"stored_size\": ");
  auto bytes = test::ReadAll(archive);
  bytes[end - 1] ^= 0x20;
  const std::string bad = dir.Write("bad.exe", bytes);

  ToolRun check = Kestrum("test " + Quote(bad), dir);
  EXPECT_EQ(check.code, 1);
  EXPECT_EQ(check.err, "kestrum: " + bad +
                           ": sub\\b.bin: damaged compressed data (bad gzip header, data or "
                           "CRC-32)\n");
  ToolRun run = Kestrum("extract " + Quote(bad) + " -o " + Quote(out), dir);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(Content(out + "/a.txt"), "alpha\n");  // before the damage: whole
  EXPECT_TRUE(test::ReadAll(out + "/sub/b.bin").empty());
  EXPECT_NE(run.err.find("damaged compressed data"), std::string::npos) << run.err;
}

// A stop request (SIGINT, SIGTERM, SIGHUP) in the middle of a run ends it
// with exit code 130, and leaves no half-written file; TMP is never used,
// for a split archive either.
TEST_F(CliExtractTest, StopSignalsLeaveNothingHalfWritten) {
  std::string noise(48u << 20, '\0');
  uint32_t x = 1;
  for (char& c : noise) c = char((x = x * 1103515245u + 12345u) >> 24);
  dir.Write("big/big.bin", noise);
  const std::string tmp = dir.File("tmp"), dst = dir.File("dst");
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (const char* split : {"--split 16M", ""}) {
    ASSERT_EQ(Kestrum("pack " + Quote(dir.File("big")) + " -o " + Quote(archive) + " --stub " +
                          Quote(stub) + " --level 0 " + split,
                      dir)
                  .code,
              0);
    for (int signal_number : signals) {
      std::filesystem::remove_all(tmp);
      std::filesystem::remove_all(dst);
      std::filesystem::create_directories(tmp);
      const pid_t pid = fork();
      if (pid == 0) {
        setenv("TMP", tmp.c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen(dir.File("stderr").c_str(), "w", stderr);
        execl(KESTRUM_TOOL, KESTRUM_TOOL, "extract", archive.c_str(), "-o", dst.c_str(), nullptr);
        _exit(127);
      }
      // Stopped as soon as anything appears.
      while (std::filesystem::is_empty(tmp) && !std::filesystem::exists(dst + "/big.bin"))
        usleep(200);
      kill(pid, signal_number);
      int status = 0;
      waitpid(pid, &status, 0);
      const std::string where = std::string(split) + " signal " + std::to_string(signal_number);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << where;
      EXPECT_TRUE(std::filesystem::is_empty(tmp)) << where;
      // Gone, or whole when the stop came only as it was finished.
      if (std::filesystem::exists(dst + "/big.bin")) {
        EXPECT_TRUE(Content(dst + "/big.bin") == noise) << where;
      }
      EXPECT_EQ(Content(dir.File("stderr")), "kestrum: stopped; no half-written file is left\n");
    }
  }
}

// Text from an archive never reaches the terminal raw: control characters,
// C1 controls and bidirectional controls in the archive's name and
// description, and in a refused entry name quoted by the error, are escaped,
// and the error stays one line.
TEST_F(CliTest, ArchiveTextIsEscapedOnTheTerminal) {
  test::TestArchive a;
  a.archive_name = "title\x1b]0;owned\x07";
  a.description =
      "clear\x1b[2J\xC2\x9B"
      "31m\xE2\x80\xAE"
      "fdp.exe\nsecond line";
  test::TestEntry e;
  e.name = "ok.txt";
  a.entries.push_back(e);
  const std::string listed = dir.Write("listed.exe", a.Build());
  const ToolRun list = Kestrum("list " + Quote(listed), dir);
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find("Archive:      title\\x1b]0;owned\\x07\n"), std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("clear\\x1b[2J\\u009b31m\\u202efdp.exe\\x0asecond line\n"),
            std::string::npos)
      << list.out;

  a.entries[0].name = "bad\x1b[2J\xE2\x80\xAE.txt";
  const std::string refused = dir.Write("refused.exe", a.Build());
  for (const char* command : {"list ", "extract -o /nonexistent/kestrum "}) {
    const ToolRun run = Kestrum(command + Quote(refused), dir);
    EXPECT_EQ(run.code, 1) << command;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("\xE2\x80\xAE"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad\\x1b[2J\\u202e.txt"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

}  // namespace
}  // namespace kestrum
