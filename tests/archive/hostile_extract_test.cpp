// Hostile archives at extraction time: links already in the destination,
// entries whose data outgrows their stated size, exceptions from below, and
// a stop or a refused new name while the overwrite question is open.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#endif

#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>

#include "archive/unzipper.h"
#include "tests/support/archive_builder.h"
#include "tests/support/chunk_maker.h"
#include "tests/support/failing_new.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

using test::Bytes;
using test::MakeEntry;
using test::TestArchive;

Bytes KeyBlock() {
  Bytes k(64);
  for (size_t i = 0; i < k.size(); ++i) k[i] = uint8_t(i * 29 + 3);
  return k;
}

// Every file and folder below `dir`, relative, '/' between folders.
std::set<std::string> Below(const fs::path& dir) {
  std::set<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       it != fs::recursive_directory_iterator(); ++it)
    out.insert(it->path().lexically_relative(dir).generic_u8string());
  return out;
}

// Passes everything to the machine's file system, counting the bytes each
// output file receives, and throws where a test asks it to.
class WatchedFileSystem : public FileSystem {
 public:
  uint64_t largest_output = 0;  // most bytes written to any one file
  std::string throw_in;         // "CreateNewIn", "Write" or "CreateFoldersIn"

  char Separator() const override { return base().Separator(); }
  bool CreateFolders(const std::string& p) override { return base().CreateFolders(p); }
  bool IsFile(const std::string& p) override { return base().IsFile(p); }
  long long FileSize(const std::string& p) override { return base().FileSize(p); }
  bool CreateFoldersIn(const std::string& r, const std::string& p, std::string& why) override {
    Maybe("CreateFoldersIn");
    return base().CreateFoldersIn(r, p, why);
  }
  PathKind LookIn(const std::string& r, const std::string& p, long long* size) override {
    return base().LookIn(r, p, size);
  }
  std::unique_ptr<OutputFile> CreateNewIn(const std::string& r, const std::string& p,
                                          std::string& why) override {
    Maybe("CreateNewIn");
    return Watch(base().CreateNewIn(r, p, why));
  }
  bool MoveIn(const std::string& r, const std::string& a, const std::string& b,
              bool replace) override {
    return base().MoveIn(r, a, b, replace);
  }
  bool RemoveIn(const std::string& r, const std::string& p) override {
    return base().RemoveIn(r, p);
  }

 private:
  class Counted : public OutputFile {
   public:
    Counted(std::unique_ptr<OutputFile> file, WatchedFileSystem& owner)
        : file_(std::move(file)), owner_(owner) {}
    bool Write(const void* data, size_t n) override {
      owner_.Maybe("Write");
      written_ += n;
      owner_.largest_output = std::max(owner_.largest_output, written_);
      return file_->Write(data, n);
    }
    bool Close() override { return file_->Close(); }

   private:
    std::unique_ptr<OutputFile> file_;
    WatchedFileSystem& owner_;
    uint64_t written_ = 0;
  };
  static FileSystem& base() { return NativeFileSystem(); }
  void Maybe(const char* where) {
    if (throw_in == "bad_alloc:" + std::string(where)) throw std::bad_alloc();
    if (throw_in == "no memory left:" + std::string(where)) {
      test::FailAllAllocations(true);
      throw std::bad_alloc();
    }
    if (throw_in == where) throw std::runtime_error(std::string("thrown in ") + where);
  }
  std::unique_ptr<OutputFile> Watch(std::unique_ptr<OutputFile> file) {
    if (!file) return nullptr;
    return std::make_unique<Counted>(std::move(file), *this);
  }
};

class WatchedPlatform : public test::FakePlatform {
 public:
  WatchedFileSystem files;
  FileSystem& Files() override { return files; }
};

class HostileExtract : public ::testing::Test {
 protected:
  HostileExtract() : maker(KeyBlock()) {
    archive.key_block = KeyBlock();
    fs::create_directories(root() / "out");
    fs::create_directories(root() / "elsewhere");
  }
  fs::path root() const { return fs::u8path(dir.path()); }
  std::string dest() const { return dir.File("out") + "/"; }

  int Run(bool test_only = false) {
    platform.executable = dir.Write("pack.exe", archive.Build());
    if (unzipper.Load() != ST_DONE) {
      ADD_FAILURE() << unzipper.load_error().message;
      return -1;
    }
    unzipper.destination = dest();
    unzipper.test_only = test_only;
    unzipper.Start();
    unzipper.WaitForWorker();
    return unzipper.GetState();
  }

  test::TempDir dir;
  WatchedPlatform platform;
  UnZipper unzipper{platform};
  TestArchive archive;
  test::ChunkMaker maker;
};

#ifndef _WIN32
// A link below the destination is never followed: not for the file itself,
// not for a folder on the way, not when replacing, not when creating folders.
TEST_F(HostileExtract, LinksInTheDestinationAreNeverFollowed) {
  struct Case {
    const char* entry;
    const char* existing_link;  // below out/, pointing at ../elsewhere (or a file there)
    bool link_to_file;
    OverwriteChoice answer;
  };
  const Case cases[] = {
      {"a\\x.txt", "a", false, OverwriteChoice::kAbort},
      {"a\\sub\\deep\\y.txt", "a", false, OverwriteChoice::kAbort},
      {"x\\a\\z.txt", "x/a", false, OverwriteChoice::kAbort},
      {"victim.txt", "victim.txt", true, OverwriteChoice::kReplace},
      {"victim.txt", "victim.txt", true, OverwriteChoice::kAbort},
  };
  for (const Case& c : cases) {
    test::TempDir scratch;
    const fs::path base = fs::u8path(scratch.path());
    fs::create_directories(base / "elsewhere");
    scratch.Write("elsewhere/victim.txt", std::string("outside"));
    const fs::path link = base / "out" / fs::u8path(c.existing_link);
    fs::create_directories(link.parent_path());
    if (c.link_to_file)
      fs::create_symlink(base / "elsewhere" / "victim.txt", link);
    else
      fs::create_directory_symlink(base / "elsewhere", link);

    test::FakePlatform p;
    p.answers = {{c.answer, {}}};
    UnZipper z(p);
    TestArchive t;
    t.key_block = KeyBlock();
    test::ChunkMaker m(KeyBlock());
    t.entries.push_back(MakeEntry(m, c.entry, {"inside"}, true));
    p.executable = scratch.Write("pack.exe", t.Build());
    ASSERT_EQ(z.Load(), ST_DONE);
    z.destination = scratch.File("out") + "/";
    z.Start();
    z.WaitForWorker();
    EXPECT_EQ(z.GetState(), ST_FAILED) << c.entry;
    EXPECT_NE(z.extract_error().find("cannot create"), std::string::npos) << z.extract_error();
    EXPECT_EQ(Below(base / "elsewhere"), std::set<std::string>{"victim.txt"}) << c.entry;
    EXPECT_EQ(test::ReadAll(scratch.File("elsewhere/victim.txt")),
              Bytes({'o', 'u', 't', 's', 'i', 'd', 'e'}));
    EXPECT_TRUE(fs::is_symlink(link)) << c.entry;
  }
}
#endif

#ifdef _WIN32
// A link to a folder elsewhere: under Wine a Unix symbolic link (made by
// running ln, as Wine cannot make reparse points itself), which Wine reports
// as a reparse point; on Windows a junction. False when none can be made.
bool MakeFolderLink(const fs::path& link, const fs::path& target) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  UnixName unix_name = nullptr;
  const FARPROC found =
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  std::memcpy(&unix_name, &found, sizeof unix_name);  // only Wine exports it
  if (unix_name) {
    char* from = unix_name(target.wstring().c_str());
    char* to = unix_name(link.wstring().c_str());
    if (!from || !to) return false;
    std::wstring command = L"ln -s " + fs::u8path(from).wstring() + L" " + fs::u8path(to).wstring();
    HeapFree(GetProcessHeap(), 0, from);
    HeapFree(GetProcessHeap(), 0, to);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    // A junction: an empty folder with a mount-point reparse point.
    if (!CreateDirectoryW(link.wstring().c_str(), nullptr)) return false;
    HANDLE h = CreateFileW(link.wstring().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + fs::absolute(target).wstring();
    const WORD bytes = WORD(substitute.size() * 2);
    std::vector<uint8_t> buffer(8 + 8 + bytes + 4);
    const auto put16 = [&](size_t at, WORD v) { std::memcpy(&buffer[at], &v, 2); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(&buffer[0], &tag, 4);
    put16(4, WORD(8 + bytes + 4));
    put16(8, 0);                 // substitute name offset
    put16(10, bytes);            // and length
    put16(12, WORD(bytes + 2));  // print name offset
    put16(14, 0);
    std::memcpy(&buffer[16], substitute.data(), bytes);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), DWORD(buffer.size()),
                                    nullptr, 0, &returned, nullptr);
    CloseHandle(h);
    if (!ok) return false;
  }
  // Wine does not wait for a Unix process to end: look until the link is there.
  for (int tries = 0; tries < 250; ++tries) {
    const DWORD attributes = GetFileAttributesW(link.wstring().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return true;
    Sleep(20);
  }
  return false;
}

// The Windows side of the same rule: a junction or link on the way is refused
// and nothing lands in the folder it points to.
TEST_F(HostileExtract, ReparsePointsInTheDestinationAreRefused) {
  ASSERT_TRUE(MakeFolderLink(root() / "out" / "a", root() / "elsewhere"));
  for (const char* name : {"a\\x.txt", "a\\sub\\deep\\y.txt"}) {
    test::FakePlatform p;
    UnZipper z(p);
    TestArchive t;
    t.key_block = KeyBlock();
    test::ChunkMaker m(KeyBlock());
    t.entries.push_back(MakeEntry(m, name, {"inside"}, true));
    p.executable = dir.Write("pack.exe", t.Build());
    ASSERT_EQ(z.Load(), ST_DONE);
    z.destination = dest();
    z.Start();
    z.WaitForWorker();
    EXPECT_EQ(z.GetState(), ST_FAILED) << name;
    EXPECT_NE(z.extract_error().find("junction"), std::string::npos) << z.extract_error();
    EXPECT_TRUE(Below(root() / "elsewhere").empty()) << name;
  }
}

// The folders of a batch's walks are pinned: while the batch lasts, no one
// can rename a folder on the way and put a junction in its place.
TEST_F(HostileExtract, WalkedFoldersCannotBeRenamedDuringABatch) {
  FileSystem& files = NativeFileSystem();
  const std::wstring kept = (root() / "out" / "kept").wstring();
  const std::wstring moved = (root() / "out" / "moved").wstring();
  std::string why;
  {
    FolderBatch batch(files);
    ASSERT_TRUE(files.CreateFoldersIn(dest(), "kept\\deeper", why)) << why;
    std::unique_ptr<OutputFile> file = files.CreateNewIn(dest(), "kept\\deeper\\a.txt", why);
    ASSERT_TRUE(file && file->Write("a", 1) && file->Close()) << why;
    for (const std::wstring& folder : {kept, kept + L"\\deeper"}) {
      EXPECT_FALSE(MoveFileW(folder.c_str(), moved.c_str()));
      EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    }
  }
  EXPECT_TRUE(MoveFileW(kept.c_str(), moved.c_str())) << GetLastError();
}
#endif

// Paths longer than the old 260-character limit work: every path takes the
// long form on Windows.
TEST_F(HostileExtract, PathsBeyond260Characters) {
  const std::string part(90, 'l');
  const std::string name = part + "\\" + part + "\\" + part + "\\" + part + ".txt";
  archive.entries.push_back(MakeEntry(maker, name, {"far down"}, true));
  ASSERT_GT(dest().size() + name.size(), 300u);
  ASSERT_EQ(Run(), ST_DONE) << unzipper.extract_error();
  long long size = -1;
  std::string relative = name;
  for (char& c : relative)
    if (c == '\\') c = NativeFileSystem().Separator();
  EXPECT_EQ(NativeFileSystem().LookIn(dest(), relative, &size), PathKind::kFile);
  EXPECT_EQ(size, 8);
}

// Output beyond an entry's stated size fails the run before more than the
// stated size reaches the disk, whatever path the data takes: raw chunks, a
// member inflated in one go, one streamed because it states more than a
// block, one whose trailer understates its length; extracting and testing.
TEST_F(HostileExtract, DataBeyondTheStatedSizeStopsAtOnce) {
  const std::string big(24u << 20, 'z');  // inflates from about 24 KiB
  Bytes understated = test::GzipMember(std::string(1u << 20, 'u'));
  test::Set32(understated, understated.size() - 4, 100);
  struct Case {
    const char* what;
    std::function<test::TestEntry(test::ChunkMaker&)> entry;
  };
  const Case cases[] = {
      {"raw",
       [](test::ChunkMaker& m) {
         return MakeEntry(m, "e", {"0123456789", "abc"}, true);
       }},
      {"gzip in one go",
       [](test::ChunkMaker& m) { return MakeEntry(m, "e", {std::string(1u << 20, 'q')}, false); }},
      {"gzip streamed", [&](test::ChunkMaker& m) { return MakeEntry(m, "e", {big}, false); }},
      {"gzip understating its size",
       [&](test::ChunkMaker& m) {
         test::TestEntry e;
         e.name = "e";
         e.raw = false;
         m.Add(e.chunks, understated);
         return e;
       }},
  };
  for (const Case& c : cases) {
    for (bool test_only : {false, true}) {
      test::TempDir scratch;
      WatchedPlatform p;
      UnZipper z(p);
      TestArchive t;
      t.key_block = KeyBlock();
      test::ChunkMaker m(KeyBlock());
      t.entries.push_back(MakeEntry(m, "before.txt", {"fine"}, true));
      t.entries.push_back(c.entry(m));
      t.entries.back().size = 10;
      p.executable = scratch.Write("pack.exe", t.Build());
      ASSERT_EQ(z.Load(), ST_DONE);
      z.destination = scratch.File("out") + "/";
      z.test_only = test_only;
      z.Start();
      z.WaitForWorker();
      EXPECT_EQ(z.GetState(), ST_FAILED) << c.what;
      EXPECT_NE(z.extract_error().find("more than the 10 bytes"), std::string::npos)
          << c.what << ": " << z.extract_error();
      EXPECT_LE(p.files.largest_output, 10u) << c.what;
      if (!test_only) {
        EXPECT_EQ(Below(fs::u8path(scratch.File("out"))), std::set<std::string>{"before.txt"})
            << c.what;
      }
    }
  }
}

// An exception anywhere in a run (memory, a thread, anything below) fails
// the run with the failure message and leaves no temporary file behind.
// When memory runs out for good, the failure paths themselves allocate
// nothing: the run still fails (it does not end the program) and says why.
TEST_F(HostileExtract, ExceptionsFailTheRunAndLeaveNoTemporaryFile) {
  const char* const places[] = {
      "CreateFoldersIn",           "CreateNewIn",           "Write",
      "bad_alloc:Write",           "bad_alloc:CreateNewIn", "no memory left:Write",
      "no memory left:CreateNewIn"};
  for (const char* place : places) {
    const bool for_good = std::string(place).rfind("no memory", 0) == 0;
    test::TempDir scratch;
    WatchedPlatform p;
    p.files.throw_in = place;
    UnZipper z(p);
    TestArchive t;
    t.key_block = KeyBlock();
    test::ChunkMaker m(KeyBlock());
    t.entries.push_back(MakeEntry(m, "sub\\a.txt", {"aaaa", "bbbb"}, false));
    t.entries.push_back(MakeEntry(m, "sub\\b.txt", {std::string(3u << 20, 'b')}, false));
    p.executable = scratch.Write("pack.exe", t.Build());
    ASSERT_EQ(z.Load(), ST_DONE);
    z.destination = scratch.File("out") + "/";
    z.Start();
    z.WaitForWorker();
    test::FailAllAllocations(false);
    EXPECT_EQ(z.GetState(), ST_FAILED) << place;
    EXPECT_EQ(z.running.load(), 0) << place;
    if (for_good) {
      EXPECT_EQ(z.extract_error(), "out of memory") << place;
      continue;
    }
    EXPECT_EQ(p.messages, std::vector<std::string>{"Kestrum Vondrel|Very fail"}) << place;
    for (const std::string& item : Below(fs::u8path(scratch.File("out"))))
      EXPECT_EQ(item, "sub") << place;  // the folder may stay; no file, no .part
  }
}

TEST_F(HostileExtract, NothingHappensForAnEntryOnceStopped) {
  // Stopped while the first question is open: the second existing file is
  // not asked about, and nothing is written.
  archive.entries.push_back(MakeEntry(maker, "a.txt", {"new a"}, true));
  archive.entries.push_back(MakeEntry(maker, "b.txt", {"new b"}, true));
  dir.Write("out/a.txt", std::string("old a"));
  dir.Write("out/b.txt", std::string("old b"));
  struct StoppingPlatform : WatchedPlatform {
    UnZipper* archive = nullptr;
    OverwriteAnswer AskOverwrite(const std::string& path, const std::string& refused) override {
      archive->Stop();
      return FakePlatform::AskOverwrite(path, refused);
    }
  } p;
  UnZipper z(p);
  p.archive = &z;
  p.answers = {{OverwriteChoice::kReplace, {}}, {OverwriteChoice::kReplace, {}}};
  p.executable = dir.Write("pack.exe", archive.Build());
  ASSERT_EQ(z.Load(), ST_DONE);
  z.destination = dest();
  z.Start();
  z.WaitForWorker();
  EXPECT_EQ(p.asked.size(), 1u);
  EXPECT_EQ(test::ReadAll(dir.File("out/a.txt")), Bytes({'o', 'l', 'd', ' ', 'a'}));
  EXPECT_EQ(Below(root() / "out"), (std::set<std::string>{"a.txt", "b.txt"}));
}

// Stop in the middle of a split archive's run, read across its volumes: the
// file being written goes, nothing else is extracted, no failure is shown.
TEST_F(HostileExtract, StopDuringASplitRun) {
  archive.format = 2;
  archive.entries.push_back(MakeEntry(maker, "a.txt", {std::string(5000, 'a'), "a"}, false));
  archive.entries.push_back(MakeEntry(maker, "b.txt", {std::string(5000, 'b')}, false));
  std::vector<Bytes> volumes;
  platform.executable = dir.Write("pack.exe", archive.BuildSplit(100, 2000, volumes));
  for (size_t i = 0; i < volumes.size(); ++i)
    dir.Write("pack.00" + std::to_string(i + 1), volumes[i]);
  ASSERT_EQ(unzipper.Load(), ST_DONE) << unzipper.load_error().message;
  ASSERT_TRUE(unzipper.IsSplit());
  unzipper.on_chunk_written = [this](size_t, int) { unzipper.Stop(); };
  unzipper.destination = dest();
  unzipper.Start();
  unzipper.WaitForWorker();
  EXPECT_GT(platform.files.largest_output, 0u) << unzipper.extract_error();
  EXPECT_TRUE(Below(root() / "out").empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_FALSE(unzipper.IsDone("a.txt"));
  EXPECT_EQ(unzipper.running.load(), 0);
}

// A new name into a missing folder, or naming a folder, is asked about
// again with the reason; the run goes on with the next answer.
TEST_F(HostileExtract, UnusableNewNamesAreAskedAgainWithTheReason) {
  archive.entries.push_back(MakeEntry(maker, "a.txt", {"new a"}, true));
  dir.Write("out/a.txt", std::string("old a"));
  fs::create_directories(root() / "out" / "folder");
  platform.answers = {{OverwriteChoice::kNewPath, dest() + "missing/x.txt"},
                      {OverwriteChoice::kNewPath, dest() + "folder"},
                      {OverwriteChoice::kNewPath, dest() + "a.txt"},
                      {OverwriteChoice::kNewPath, dest() + "folder\\a2.txt"}};
  ASSERT_EQ(Run(), ST_DONE) << unzipper.extract_error();
  ASSERT_EQ(platform.refusals.size(), 4u);
  EXPECT_EQ(platform.refusals[0], "");
  EXPECT_NE(platform.refusals[1].find("does not exist"), std::string::npos);
  EXPECT_NE(platform.refusals[2].find("folder"), std::string::npos);
  EXPECT_NE(platform.refusals[3].find("exists"), std::string::npos);
  EXPECT_EQ(test::ReadAll(dir.File("out/folder/a2.txt")), Bytes({'n', 'e', 'w', ' ', 'a'}));
}

// An empty entry whose name ends in a separator is a folder: made and counted
// done, even when nothing else lies in it.
TEST_F(HostileExtract, FolderEntriesAreCreated) {
  archive.entries.push_back(MakeEntry(maker, "empty\\", {}, true));
  archive.entries.push_back(MakeEntry(maker, "docs/deeper/", {}, true));
  archive.entries.push_back(MakeEntry(maker, "docs\\a.txt", {"text"}, true));
  ASSERT_EQ(Run(), ST_DONE) << unzipper.extract_error();
  EXPECT_EQ(Below(root() / "out"),
            (std::set<std::string>{"empty", "docs", "docs/deeper", "docs/a.txt"}));
  EXPECT_TRUE(fs::is_directory(root() / "out" / "empty"));
  EXPECT_TRUE(unzipper.IsDone("empty\\"));
  EXPECT_TRUE(unzipper.IsDone("docs/deeper/"));
}

}  // namespace
}  // namespace kestrum
