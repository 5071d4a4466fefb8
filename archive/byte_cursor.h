// Little-endian reads over a ByteStream with a sticky failure flag.
//
// A read that passes the end of the stream (or any read after an earlier
// failure) yields all-ones for integer reads and marks the cursor failed, so a
// parser can read a whole record and test the flag once. Byte-string reads are
// checked against the bytes left before anything is allocated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/byte_stream.h"

namespace kestrum {

class ByteCursor {
 public:
  explicit ByteCursor(ByteStream& stream) : stream_(stream) {}

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  uint64_t U64();
  int32_t I32() { return static_cast<int32_t>(U32()); }

  // Reads n bytes; fails (and returns false, out cleared) when fewer are left.
  bool Bytes(uint64_t n, std::vector<uint8_t>& out);
  bool Bytes(uint64_t n, std::string& out);
  // Moves past n bytes; fails when fewer are left.
  bool Skip(uint64_t n);
  // Absolute seek; fails when pos is beyond the end.
  bool Seek(uint64_t pos);

  uint64_t Tell() const { return stream_.Tell(); }
  uint64_t Length() const { return stream_.Length(); }
  uint64_t Left() const;
  bool failed() const { return failed_; }
  void Fail() { failed_ = true; }

 private:
  bool ReadExact(void* out, size_t n);
  ByteStream& stream_;
  bool failed_ = false;
};

}  // namespace kestrum
