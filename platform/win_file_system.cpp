// File operations on Windows through the wide API, so every name works
// whatever the ANSI code page. Every path goes through its "\\?\" form, so
// paths longer than MAX_PATH work too.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include <memory>
#include <utility>
#include <vector>

#include "platform/kept_walk.h"
#include "platform/native_file_system.h"
#include "platform/win_text.h"

namespace kestrum {
namespace {

// The "\\?\" form of a path: made absolute and normalised first (that form is
// taken literally by the system: no "." or "..", no '/', no doubled '\').
std::wstring LongPath(const std::string& utf8) {
  std::wstring path = win::Wide(utf8);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Where the folders of a long path begin: after "\\?\C:\" or
// "\\?\UNC\server\share\".
size_t FirstFolder(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    size_t at = path.find(L'\\', 8);                              // after the server
    if (at != std::wstring::npos) at = path.find(L'\\', at + 1);  // after the share
    return at == std::wstring::npos ? path.size() : at + 1;
  }
  const size_t at = path.find(L'\\', 4);
  return at == std::wstring::npos ? path.size() : at + 1;
}

// New files never follow a link planted at their name (see CreateNewIn).
constexpr DWORD kNewFileFlags =
    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT;

// An open handle on one checked folder; shared by the walks that pass it.
struct Pin {
  explicit Pin(HANDLE h) : handle(h) {}
  ~Pin() { CloseHandle(handle); }
  Pin(const Pin&) = delete;
  Pin& operator=(const Pin&) = delete;
  HANDLE handle;
};

// The folders below the destination on the way to a path, each checked to be
// a real folder (no reparse point) and held open while it is used.
struct CheckedFolder {
  std::string root;                              // the destination walked from
  std::vector<std::wstring> parts;               // the folders below it, in order
  std::wstring path;                             // long form of the innermost folder
  std::vector<std::shared_ptr<const Pin>> pins;  // one per folder below the root
  bool ok = false;
  bool missing = false;  // a part does not exist
};

class WinOutputFile : public OutputFile {
 public:
  WinOutputFile(HANDLE h, std::shared_ptr<const CheckedFolder> folder)
      : handle_(h), folder_(std::move(folder)) {}
  ~WinOutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  // Handed to the system in pieces of at most 256 KiB: under Wine a WriteFile
  // becomes one write() on Linux, which copies pieces of 1 MiB or more into
  // the page cache several times slower (see posix_file_system.cpp; 64-bit
  // kestrum.exe, 240 MiB in 3 files: its writing 0.18-0.38 s against
  // 0.01-0.08 s).
  static constexpr DWORD kPiece = 256u << 10;

  bool Write(const void* data, size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      const DWORD part = n > kPiece ? kPiece : DWORD(n);
      DWORD done = 0;
      if (!WriteFile(handle_, p, part, &done, nullptr) || done != part) return false;
      p += done;
      n -= done;
    }
    return true;
  }
  bool Close() override {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE handle_;
  // The folders on the way, held open without delete sharing so that none of
  // them can be renamed away and replaced by a junction while the file is written.
  std::shared_ptr<const CheckedFolder> folder_;
};

std::vector<std::wstring> Parts(const std::string& relative) {
  std::vector<std::wstring> parts;
  std::wstring part;
  const std::wstring wide = win::Wide(relative);
  for (size_t i = 0; i <= wide.size(); ++i) {
    if (i == wide.size() || wide[i] == L'\\' || wide[i] == L'/') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(wide[i]);
    }
  }
  return parts;
}

// Walks from root through `parts`, refusing a reparse point (junction,
// symbolic link, mount point) or a file on the way; with `create`, missing
// folders are made. The folders that `known` (a walk from the same root whose
// pins are still held) shares with this one are taken over unchecked: while
// pinned they cannot have been renamed or replaced.
void Walk(const std::string& root, const std::vector<std::wstring>& parts, size_t count,
          bool create, const CheckedFolder* known, CheckedFolder& folder, std::string& why) {
  folder.root = root;
  folder.parts.assign(parts.begin(), parts.begin() + ptrdiff_t(count));
  folder.path = LongPath(root);
  while (!folder.path.empty() && folder.path.back() == L'\\') folder.path.pop_back();
  size_t start = 0;
  if (known && known->ok && known->root == root) {
    while (start < count && start < known->parts.size() && known->parts[start] == parts[start]) {
      folder.path += L'\\';
      folder.path += parts[start];
      folder.pins.push_back(known->pins[start]);
      ++start;
    }
  }
  for (size_t i = start; i < count; ++i) {
    folder.path += L'\\';
    folder.path += parts[i];
    if (create) CreateDirectoryW(folder.path.c_str(), nullptr);
    // The pin asks for traverse access on purpose: an open that asks for no
    // read, write, execute or delete access takes no part in sharing checks,
    // so its missing FILE_SHARE_DELETE would forbid nothing. With it, renaming
    // or deleting the folder (which opens it for DELETE) fails with a sharing
    // violation for as long as the pin is held.
    const HANDLE pin =
        CreateFileW(folder.path.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (pin == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      folder.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
      why = "cannot open the folder \"" + win::Utf8(parts[i]) + "\"";
      return;
    }
    folder.pins.push_back(std::make_shared<const Pin>(pin));
    // Asked twice: of the handle, and of the path (Wine shows a Unix symbolic
    // link as a reparse point only there).
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD attributes = GetFileAttributesW(folder.path.c_str());
    if (!GetFileInformationByHandle(pin, &info) || attributes == INVALID_FILE_ATTRIBUTES ||
        ((info.dwFileAttributes | attributes) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      why = "\"" + win::Utf8(parts[i]) + "\" on the way is a link, a junction or not a folder";
      return;
    }
  }
  folder.ok = true;
}

class WinFileSystem : public FileSystem {
 public:
  char Separator() const override { return '\\'; }

  bool CreateFolders(const std::string& path) override {
    const std::wstring wide = LongPath(path);
    for (size_t i = FirstFolder(wide); i <= wide.size(); ++i)
      if (i == wide.size() || wide[i] == L'\\')
        CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool IsFile(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  long long FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  bool CreateFoldersIn(const std::string& root, const std::string& relative,
                       std::string& why) override {
    const std::vector<std::wstring> parts = Parts(relative);
    return WalkKept(root, parts, parts.size(), true, why)->ok;
  }

  PathKind LookIn(const std::string& root, const std::string& relative, long long* size) override {
    const std::vector<std::wstring> parts = Parts(relative);
    if (parts.empty()) return PathKind::kFolder;
    std::string why;
    const auto kept = WalkKept(root, parts, parts.size() - 1, false, why);
    const CheckedFolder& folder = *kept;
    if (!folder.ok) return folder.missing ? PathKind::kNoFolder : PathKind::kBlocked;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW((folder.path + L'\\' + parts.back()).c_str(), GetFileExInfoStandard,
                              &data)) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kNothing
                                                                            : PathKind::kOther;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::kOther;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::kFolder;
    if (size) *size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return PathKind::kFile;
  }

  std::unique_ptr<OutputFile> CreateNewIn(const std::string& root, const std::string& relative,
                                          std::string& why) override {
    const std::vector<std::wstring> parts = Parts(relative);
    if (parts.empty()) {
      why = "the name is empty";
      return nullptr;
    }
    auto kept = WalkKept(root, parts, parts.size() - 1, false, why);
    const CheckedFolder& folder = *kept;
    if (!folder.ok) return nullptr;
    // CREATE_NEW alone follows a symbolic link whose target does not exist
    // and creates the target, wherever it points. FILE_FLAG_OPEN_REPARSE_POINT
    // makes the link itself the thing that exists, so the call fails instead.
    // Wine's O_EXCL hides the difference; the flag is there for Windows.
    HANDLE h = CreateFileW((folder.path + L'\\' + parts.back()).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, kNewFileFlags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      why = GetLastError() == ERROR_FILE_EXISTS ? "something of that name exists already"
                                                : "the system refused to create it";
      return nullptr;
    }
    return std::make_unique<WinOutputFile>(h, std::move(kept));
  }

  bool MoveIn(const std::string& root, const std::string& from, const std::string& to,
              bool replace) override {
    const std::vector<std::wstring> from_parts = Parts(from), to_parts = Parts(to);
    if (from_parts.empty() || to_parts.empty()) return false;
    std::string why;
    const auto kept_a = WalkKept(root, from_parts, from_parts.size() - 1, false, why);
    const auto kept_b = WalkKept(root, to_parts, to_parts.size() - 1, false, why);
    const CheckedFolder &a = *kept_a, &b = *kept_b;
    if (!a.ok || !b.ok) return false;
    // A link at `to` is replaced itself, never what it points to.
    return MoveFileExW((a.path + L'\\' + from_parts.back()).c_str(),
                       (b.path + L'\\' + to_parts.back()).c_str(),
                       replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
  }

  bool RemoveIn(const std::string& root, const std::string& relative) override {
    const std::vector<std::wstring> parts = Parts(relative);
    if (parts.empty()) return false;
    std::string why;
    const auto kept = WalkKept(root, parts, parts.size() - 1, false, why);
    const CheckedFolder& folder = *kept;
    return folder.ok && DeleteFileW((folder.path + L'\\' + parts.back()).c_str()) != 0;
  }

  void BeginBatch() override { kept_.BeginBatch(); }
  void EndBatch() override { kept_.EndBatch(); }
  // The kept walks are shared under a lock; every call opens its own handles.
  bool CreatesAhead() const override { return true; }

 private:
  // Walk, but within a batch the folders walked last stay checked and held
  // open (their handles forbid renaming or deleting them), so the next walk to
  // the same folder costs no system call at all.
  std::shared_ptr<const CheckedFolder> WalkKept(const std::string& root,
                                                const std::vector<std::wstring>& parts,
                                                size_t count, bool create, std::string& why) {
    std::wstring key = win::Wide(root);
    for (size_t i = 0; i < count; ++i) key += L'\\' + parts[i];
    return kept_.Get(std::move(key), [&](const CheckedFolder* known, CheckedFolder& folder) {
      Walk(root, parts, count, create, known, folder, why);
    });
  }

  // Walking costs several calls to the system per folder (many times more
  // under Wine), so the walks of the folders made before the files are kept
  // for the files, up to this many.
  static constexpr size_t kKeptWalks = 1024;
  KeptWalk<CheckedFolder, std::wstring> kept_{kKeptWalks};
};

}  // namespace

FileSystem& NativeFileSystem() {
  static WinFileSystem files;
  return files;
}

std::FILE* CreateNewStdioFile(const std::string& path) {
  const HANDLE h = CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, kNewFileFlags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (!file) _close(fd);
  return file;
}

}  // namespace kestrum
