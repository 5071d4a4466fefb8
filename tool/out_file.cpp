#include "tool/out_file.h"

#include <algorithm>
#include <cerrno>

#include "platform/start_writeback.h"
#include "tool/system_error.h"

namespace kestrum {
namespace {

constexpr size_t kCopyBuffer = 1 << 20;
// The archive's pages are sent to the disk this often while packing goes on,
// so that little is left for a sync afterwards (see start_writeback.h).
constexpr uint64_t kStartEvery = 8u << 20;

}  // namespace

OutFile::OutFile(std::string path, std::FILE* file, int open_error, bool temporary)
    : path_(std::move(path)), file_(file), temporary_(temporary) {
  if (!file_) error_ = "cannot create " + path_ + ": " + SystemReason(open_error);
}

void OutFile::Write(const void* data, size_t n) {
  if (!ok() || n == 0) return;
  if (std::fwrite(data, 1, n, file_) != n) error_ = "cannot write " + path_;
  pos_ += n;
  if (!temporary_ && pos_ - started_ >= kStartEvery) StartWritingOut();
}

void OutFile::Patch(uint64_t at, const void* data, size_t n) {
  if (!ok()) return;
  if (!Seek(at) || std::fwrite(data, 1, n, file_) != n || !Seek(pos_))
    error_ = "cannot write " + path_;
}

void OutFile::CopyFrom(OutFile& from, uint64_t offset, uint64_t n) {
  if (!ok()) return;
  std::vector<uint8_t> buffer(kCopyBuffer);
  if (std::fflush(from.file_) != 0 || !from.Seek(offset))
    error_ = "cannot read the temporary stream";
  while (ok() && n > 0) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, buffer.size()));
    if (std::fread(buffer.data(), 1, take, from.file_) != take) {
      error_ = "cannot read the temporary stream";
      return;
    }
    Write(buffer.data(), take);
    n -= take;
  }
}

bool OutFile::Close() {
  if (file_) {
    if (std::fclose(file_) != 0 && ok()) error_ = "cannot write " + path_;
    file_ = nullptr;
  }
  return ok();
}

void OutFile::StartWritingOut() {
  if (std::fflush(file_) == 0) StartWriteback(fileno(file_), started_, pos_ - started_);
  started_ = pos_;
}

bool OutFile::Seek(uint64_t at) {
#ifdef _WIN32
  return _fseeki64(file_, static_cast<int64_t>(at), SEEK_SET) == 0;
#else
  return fseeko(file_, static_cast<off_t>(at), SEEK_SET) == 0;
#endif
}

}  // namespace kestrum
