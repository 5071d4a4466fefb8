// File operations on POSIX systems. Entry names use backslashes between
// folders; paths handed in here have been joined with '/' by the caller.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/kept_walk.h"
#include "platform/native_file_system.h"
#include "platform/start_writeback.h"

namespace kestrum {
namespace {

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  // Handed to the kernel in pieces of at most 256 KiB. Pieces of 1 MiB
  // often took 5-8 times as long to copy into the page cache once another
  // program's files had been removed (240 MiB: 0.3-0.5 s against 0.06 s;
  // the time goes to copying into the large folios such writes get), and one
  // huge write() is slower still.
  static constexpr size_t kPiece = 256u << 10;

  bool Write(const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      const ssize_t done = ::write(fd_, p, n < kPiece ? n : kPiece);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      p += done;
      n -= static_cast<size_t>(done);
      written_ += static_cast<uint64_t>(done);
    }
    if (written_ - started_ >= kStartEvery) StartWritingOut();
    return true;
  }
  bool Close() override {
    if (written_ - started_ >= kStartTail) StartWritingOut();
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  // Every 8 MiB and at the end of a large file (see start_writeback.h), so
  // the disk works while decoding goes on.
  static constexpr uint64_t kStartEvery = 8u << 20;
  static constexpr uint64_t kStartTail = 1u << 20;
  void StartWritingOut() {
    StartWriteback(fd_, started_, written_ - started_);
    started_ = written_;
  }

  int fd_;
  uint64_t written_ = 0;
  uint64_t started_ = 0;  // bytes whose writing out has been started
};

// An open folder descriptor, shared by the walks that pass the folder.
struct OpenFolder {
  explicit OpenFolder(int descriptor) : fd(descriptor) {}
  ~OpenFolder() { ::close(fd); }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  int fd;
};

// Folders below this depth are not held open once walked past.
constexpr size_t kHeldLevels = 64;

// A walk from the destination down to one folder.
struct Folder {
  std::string root;                                     // the destination walked from
  std::vector<std::string> parts;                       // the folders below it, in order
  std::vector<std::shared_ptr<const OpenFolder>> open;  // root, then one per part (or null)
  bool ok = false;
  bool missing = false;  // a part does not exist
  int fd() const { return open.back()->fd; }
};

class PosixFileSystem : public FileSystem {
 public:
  char Separator() const override { return '/'; }

  bool CreateFolders(const std::string& path) override {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '/') {
        if (!partial.empty() && partial != "/") {
          if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        }
      }
      if (i < path.size()) partial.push_back(path[i]);
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool IsFile(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  long long FileSize(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
  }

  bool CreateFoldersIn(const std::string& root, const std::string& relative,
                       std::string& why) override {
    return WalkKept(root, Parts(relative), true, why)->ok;
  }

  PathKind LookIn(const std::string& root, const std::string& relative, long long* size) override {
    std::vector<std::string> parts = Parts(relative);
    if (parts.empty()) return PathKind::kFolder;
    const std::string leaf = TakeLeaf(parts);
    std::string why;
    const auto parent = WalkKept(root, parts, false, why);
    if (!parent->ok) return parent->missing ? PathKind::kNoFolder : PathKind::kBlocked;
    struct stat st;
    if (::fstatat(parent->fd(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return errno == ENOENT ? PathKind::kNothing : PathKind::kOther;
    if (size) *size = S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
    if (S_ISREG(st.st_mode)) return PathKind::kFile;
    return S_ISDIR(st.st_mode) ? PathKind::kFolder : PathKind::kOther;
  }

  std::unique_ptr<OutputFile> CreateNewIn(const std::string& root, const std::string& relative,
                                          std::string& why) override {
    std::vector<std::string> parts = Parts(relative);
    if (parts.empty()) {
      why = "the name is empty";
      return nullptr;
    }
    const std::string leaf = TakeLeaf(parts);
    const auto parent = WalkKept(root, parts, false, why);
    if (!parent->ok) return nullptr;
    // O_EXCL fails on anything that exists, a link included; O_NOFOLLOW
    // says the same once more.
    const int fd = ::openat(parent->fd(), leaf.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      why = errno == EEXIST ? "something of that name exists already" : std::strerror(errno);
      return nullptr;
    }
    return std::make_unique<PosixOutputFile>(fd);
  }

  bool MoveIn(const std::string& root, const std::string& from, const std::string& to,
              bool replace) override {
    std::vector<std::string> from_parts = Parts(from), to_parts = Parts(to);
    if (from_parts.empty() || to_parts.empty()) return false;
    const std::string from_leaf = TakeLeaf(from_parts), to_leaf = TakeLeaf(to_parts);
    std::string why;
    const auto a = WalkKept(root, from_parts, false, why);
    const auto b = WalkKept(root, to_parts, false, why);
    if (!a->ok || !b->ok) return false;
    // renameat replaces a link at `to` itself, never what it points to.
    if (replace) return ::renameat(a->fd(), from_leaf.c_str(), b->fd(), to_leaf.c_str()) == 0;
    // A hard link fails when the target exists, which makes the move exclusive.
    if (::linkat(a->fd(), from_leaf.c_str(), b->fd(), to_leaf.c_str(), 0) == 0) {
      ::unlinkat(a->fd(), from_leaf.c_str(), 0);
      return true;
    }
    if (errno == EEXIST) return false;
    // File systems without hard links: test, then rename.
    struct stat st;
    if (::fstatat(b->fd(), to_leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return false;
    return ::renameat(a->fd(), from_leaf.c_str(), b->fd(), to_leaf.c_str()) == 0;
  }

  bool RemoveIn(const std::string& root, const std::string& relative) override {
    std::vector<std::string> parts = Parts(relative);
    if (parts.empty()) return false;
    const std::string leaf = TakeLeaf(parts);
    std::string why;
    const auto parent = WalkKept(root, parts, false, why);
    return parent->ok && ::unlinkat(parent->fd(), leaf.c_str(), 0) == 0;
  }

  void BeginBatch() override { kept_.BeginBatch(); }
  void EndBatch() override { kept_.EndBatch(); }
  // The kept walks are shared under a lock; every call opens its own files.
  bool CreatesAhead() const override { return true; }

 private:
  // The parts of a relative path; empty parts (doubled separators) are dropped.
  static std::vector<std::string> Parts(const std::string& relative) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= relative.size(); ++i) {
      if (i == relative.size() || relative[i] == '/') {
        if (!part.empty()) parts.push_back(std::move(part));
        part.clear();
      } else {
        part.push_back(relative[i]);
      }
    }
    return parts;
  }

  static std::string TakeLeaf(std::vector<std::string>& parts) {
    std::string leaf = std::move(parts.back());
    parts.pop_back();
    return leaf;
  }

  // Walk, but within a batch the walk made last stays open: the next walk to
  // the same folder costs nothing, and one to another folder starts below
  // the folders the two share. A kept descriptor still names the folder that
  // was checked, whatever happens to the path since.
  std::shared_ptr<const Folder> WalkKept(const std::string& root,
                                         const std::vector<std::string>& parts, bool create,
                                         std::string& why) {
    std::string key = root;
    for (const std::string& part : parts) key += '/' + part;
    return kept_.Get(std::move(key), [&](const Folder* known, Folder& folder) {
      Walk(root, parts, create, known, folder, why);
    });
  }

  // The last two walks are kept (the writing and the creating ahead each
  // have one): each holds a descriptor per folder, and walking is cheap here.
  KeptWalk<Folder, std::string> kept_{2};

  // Opens root (links in it followed: the user named it), then each part
  // below it relative to the folder before, with O_NOFOLLOW | O_DIRECTORY: a
  // link or a file on the way fails the walk instead of being followed. With
  // `create`, missing parts are made with mkdirat in the folder just opened.
  // The folders that `known` (an earlier walk from the same root, still open)
  // shares with this one are taken over as they are.
  static void Walk(const std::string& root, const std::vector<std::string>& parts, bool create,
                   const Folder* known, Folder& folder, std::string& why) {
    folder.root = root;
    folder.parts = parts;
    size_t start = 0;
    if (known && known->root == root) {
      folder.open.push_back(known->open[0]);
      while (start < parts.size() && start < known->parts.size() &&
             known->parts[start] == parts[start] && known->open[start + 1]) {
        folder.open.push_back(known->open[start + 1]);
        ++start;
      }
    } else {
      const int fd = ::open(root.empty() ? "." : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) {
        folder.missing = errno == ENOENT;
        why = "cannot open the destination folder";
        return;
      }
      folder.open.push_back(std::make_shared<const OpenFolder>(fd));
    }
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (size_t i = start; i < parts.size(); ++i) {
      const std::string& part = parts[i];
      const int at = folder.open.back()->fd;
      int fd = ::openat(at, part.c_str(), kFlags);
      if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(at, part.c_str(), 0777) == 0 || errno == EEXIST)
          fd = ::openat(at, part.c_str(), kFlags);
      }
      if (fd < 0) {
        folder.missing = errno == ENOENT;
        if (errno == ELOOP || errno == ENOTDIR)
          why = "\"" + part + "\" on the way is a link or not a folder";
        else
          why = "cannot open the folder \"" + part + "\": " + std::strerror(errno);
        folder.open.clear();
        return;
      }
      // Deep down only the innermost folder stays open, so a path of a
      // thousand levels does not hold a thousand descriptors.
      if (folder.open.size() > kHeldLevels) folder.open.back().reset();
      folder.open.push_back(std::make_shared<const OpenFolder>(fd));
    }
    folder.ok = true;
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static PosixFileSystem files;
  return files;
}

std::FILE* CreateNewStdioFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "w+b");
  if (!file) ::close(fd);
  return file;
}

}  // namespace kestrum
