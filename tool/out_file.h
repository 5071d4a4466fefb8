// A file the packer writes, with its position and the first error kept, so a
// run of writes is checked once at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrum {

class OutFile {
 public:
  // Takes over `file`, opened for reading and writing (null: it could not
  // be created, for the reason `open_error`). `path` is the name messages
  // give. `temporary`: read back and removed by this program; never sent to
  // the disk early.
  OutFile(std::string path, std::FILE* file, int open_error, bool temporary);
  ~OutFile() { Close(); }
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  uint64_t pos() const { return pos_; }

  void Write(const void* data, size_t n);
  void Write(const std::vector<uint8_t>& v) { Write(v.data(), v.size()); }
  // Overwrites bytes written earlier, then returns to the end.
  void Patch(uint64_t at, const void* data, size_t n);
  // Appends `n` bytes of `from`, read from `offset`.
  void CopyFrom(OutFile& from, uint64_t offset, uint64_t n);
  bool Close();

 private:
  void StartWritingOut();
  bool Seek(uint64_t at);

  std::string path_;
  std::FILE* file_ = nullptr;
  uint64_t pos_ = 0;
  bool temporary_;
  uint64_t started_ = 0;  // bytes whose writing out has been started
  std::string error_;
};

}  // namespace kestrum
