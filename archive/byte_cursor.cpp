#include "archive/byte_cursor.h"

namespace kestrum {

uint64_t ByteCursor::Left() const {
  const uint64_t pos = stream_.Tell(), len = stream_.Length();
  return pos < len ? len - pos : 0;
}

bool ByteCursor::ReadExact(void* out, size_t n) {
  if (failed_ || Left() < n || stream_.Read(out, n) != n) {
    failed_ = true;
    return false;
  }
  return true;
}

uint8_t ByteCursor::U8() {
  uint8_t b[1];
  return ReadExact(b, 1) ? b[0] : 0xFF;
}

uint16_t ByteCursor::U16() {
  uint8_t b[2];
  if (!ReadExact(b, 2)) return 0xFFFF;
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ByteCursor::U32() {
  uint8_t b[4];
  if (!ReadExact(b, 4)) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint64_t ByteCursor::U64() {
  uint8_t b[8];
  if (!ReadExact(b, 8)) return ~uint64_t{0};
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return v;
}

bool ByteCursor::Bytes(uint64_t n, std::vector<uint8_t>& out) {
  out.clear();
  if (failed_ || n > Left()) {
    failed_ = true;
    return false;
  }
  out.resize(static_cast<size_t>(n));
  if (n != 0 && !ReadExact(out.data(), out.size())) {
    out.clear();
    return false;
  }
  return true;
}

bool ByteCursor::Bytes(uint64_t n, std::string& out) {
  out.clear();
  if (failed_ || n > Left()) {
    failed_ = true;
    return false;
  }
  out.resize(static_cast<size_t>(n));
  if (n != 0 && !ReadExact(out.data(), out.size())) {
    out.clear();
    return false;
  }
  return true;
}

bool ByteCursor::Skip(uint64_t n) {
  if (failed_ || n > Left()) {
    failed_ = true;
    return false;
  }
  return Seek(Tell() + n);
}

bool ByteCursor::Seek(uint64_t pos) {
  if (failed_ || !stream_.Seek(pos)) {
    failed_ = true;
    return false;
  }
  return true;
}

}  // namespace kestrum
