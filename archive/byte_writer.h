// Little-endian serialisation into a byte vector, for the container writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum {

class ByteWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) { Int(v, 2); }
  void U32(uint32_t v) { Int(v, 4); }
  void U64(uint64_t v) { Int(v, 8); }
  void I32(int32_t v) { Int(static_cast<uint32_t>(v), 4); }
  void Bytes(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  // u32 length + bytes.
  void String(const std::string& s) {
    U32(static_cast<uint32_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  void Int(uint64_t v, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> bytes_;
};

}  // namespace kestrum
