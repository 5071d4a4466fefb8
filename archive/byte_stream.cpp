#include "archive/byte_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include "archive/utf8.h"

namespace kestrum {

size_t MemoryStream::Read(void* out, size_t n) {
  if (pos_ >= bytes_.size()) return 0;
  const size_t avail = static_cast<size_t>(bytes_.size() - pos_);
  const size_t take = std::min(n, avail);
  std::memcpy(out, bytes_.data() + pos_, take);
  pos_ += take;
  return take;
}

bool MemoryStream::Seek(uint64_t pos) {
  if (pos > bytes_.size()) return false;
  pos_ = pos;
  return true;
}

#ifdef _WIN32
// The "\\?\" form of a path, so that paths longer than MAX_PATH open too.
static std::wstring LongPathOf(const std::string& utf8_path) {
  const std::u16string utf16 = Utf8ToUtf16(utf8_path);
  std::wstring path(utf16.begin(), utf16.end());
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  wchar_t* full = _wfullpath(nullptr, path.c_str(), 0);
  if (!full) return path;
  std::wstring result = full;
  std::free(full);
  if (result.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + result.substr(2);
  return L"\\\\?\\" + result;
}
#endif

// Only a regular file is opened: a FIFO, a device or a folder named like a
// volume is refused, and the open itself never blocks (O_NONBLOCK), since
// opening a FIFO for reading waits for a writer.
std::FILE* OpenFileUtf8(const std::string& utf8_path, const char* mode) {
  const bool writing = std::strchr(mode, 'w') || std::strchr(mode, 'a') || std::strchr(mode, '+');
#ifdef _WIN32
  const std::wstring wide = LongPathOf(utf8_path);
  struct _stat64 st;
  if (!writing && (_wstat64(wide.c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG))
    return nullptr;
  std::wstring wmode(mode, mode + std::strlen(mode));
  return _wfopen(wide.c_str(), wmode.c_str());
#else
  if (writing) return std::fopen(utf8_path.c_str(), mode);
  const int fd = ::open(utf8_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, mode);
  if (!f) ::close(fd);
  return f;
#endif
}

namespace {

bool SeekFile(std::FILE* f, uint64_t pos) {
  if (pos > static_cast<uint64_t>(INT64_MAX)) return false;
#ifdef _WIN32
  return _fseeki64(f, static_cast<int64_t>(pos), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

int64_t LengthOf(std::FILE* f) {
#ifdef _WIN32
  if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
  const int64_t len = _ftelli64(f);
#else
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  const int64_t len = ftello(f);
#endif
  if (!SeekFile(f, 0)) return -1;
  return len;
}

}  // namespace

std::unique_ptr<FileStream> FileStream::Open(const std::string& utf8_path) {
  std::FILE* f = OpenFileUtf8(utf8_path, "rb");
  if (!f) return nullptr;
  const int64_t len = LengthOf(f);
  if (len < 0) {
    std::fclose(f);
    return nullptr;
  }
  return std::unique_ptr<FileStream>(new FileStream(f, static_cast<uint64_t>(len)));
}

FileStream::~FileStream() {
  std::fclose(file_);
}

// Large reads go in pieces of 1 MiB: the system copies a 4 MiB read out of
// the page cache markedly slower than the same bytes in 1 MiB pieces.
size_t FileStream::Read(void* out, size_t n) {
  constexpr size_t kPiece = 1u << 20;
  char* to = static_cast<char*>(out);
  size_t got = 0;
  while (got < n) {
    const size_t want = std::min(n - got, kPiece);
    const size_t read = std::fread(to + got, 1, want, file_);
    got += read;
    if (read < want) break;
  }
  pos_ += got;
  return got;
}

bool FileStream::Seek(uint64_t pos) {
  if (pos > length_) return false;
  if (pos == pos_) return true;
  // A short hop forward (a small entry's data between two records) is read
  // over: the bytes are in stdio's buffer already, and a real seek would
  // cost a system call and empty that buffer, once for every record.
  constexpr uint64_t kHop = 4096;
  if (pos > pos_ && pos - pos_ <= kHop) {
    char over[kHop];
    const size_t n = size_t(pos - pos_);
    if (std::fread(over, 1, n, file_) == n) {
      pos_ = pos;
      return true;
    }
    std::clearerr(file_);
  }
  if (!SeekFile(file_, pos)) return false;
  pos_ = pos;
  return true;
}

int64_t FileLengthUtf8(const std::string& utf8_path) {
  std::FILE* f = OpenFileUtf8(utf8_path, "rb");
  if (!f) return -1;
  const int64_t len = LengthOf(f);
  std::fclose(f);
  return len;
}

}  // namespace kestrum
