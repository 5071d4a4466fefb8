// Seekable byte sources that the container reader works on: files on disk and
// memory blocks (tests, fuzzing).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestrum {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to n bytes at the current position; returns how many were read.
  virtual size_t Read(void* out, size_t n) = 0;
  // Moves to an absolute position; false when the position is beyond the end.
  virtual bool Seek(uint64_t pos) = 0;
  virtual uint64_t Tell() const = 0;
  virtual uint64_t Length() const = 0;
  // Why a read came back short, when the stream knows more than "the end".
  virtual std::string Problem() const { return {}; }
};

class MemoryStream : public ByteStream {
 public:
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  MemoryStream(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  size_t Read(void* out, size_t n) override;
  bool Seek(uint64_t pos) override;
  uint64_t Tell() const override { return pos_; }
  uint64_t Length() const override { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t pos_ = 0;
};

// A read-only file opened by a UTF-8 path (wide path on Windows).
class FileStream : public ByteStream {
 public:
  ~FileStream() override;
  // nullptr when the file cannot be opened or its length cannot be read.
  static std::unique_ptr<FileStream> Open(const std::string& utf8_path);
  size_t Read(void* out, size_t n) override;
  bool Seek(uint64_t pos) override;
  uint64_t Tell() const override { return pos_; }
  uint64_t Length() const override { return length_; }

 private:
  FileStream(std::FILE* f, uint64_t length) : file_(f), length_(length) {}
  std::FILE* file_;
  uint64_t length_;
  uint64_t pos_ = 0;
};

// Opens a C stream by UTF-8 path; on Windows the path goes through the wide API
// so names outside the ANSI code page work.
std::FILE* OpenFileUtf8(const std::string& utf8_path, const char* mode);

// Byte length of a file, or -1 when it cannot be opened.
int64_t FileLengthUtf8(const std::string& utf8_path);

}  // namespace kestrum
