#include "archive/byte_stream.h"

#include <algorithm>
#include <cstring>

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

std::FILE* OpenFileUtf8(const std::string& utf8_path, const char* mode) {
#ifdef _WIN32
  const std::u16string wide = Utf8ToUtf16(utf8_path);
  std::wstring wmode(mode, mode + std::strlen(mode));
  return _wfopen(reinterpret_cast<const wchar_t*>(wide.c_str()), wmode.c_str());
#else
  return std::fopen(utf8_path.c_str(), mode);
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

size_t FileStream::Read(void* out, size_t n) {
  const size_t got = std::fread(out, 1, n, file_);
  pos_ += got;
  return got;
}

bool FileStream::Seek(uint64_t pos) {
  if (pos > length_ || !SeekFile(file_, pos)) return false;
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
