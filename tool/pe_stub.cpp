#include "tool/pe_stub.h"

#include <algorithm>
#include <cerrno>

#include "archive/byte_cursor.h"
#include "archive/byte_stream.h"
#include "archive/container_format.h"
#include "tool/system_error.h"

namespace kestrum {

// MS-DOS header: "MZ" at 0, u32 e_lfanew at 60 pointing at "PE\0\0".
// COFF header after the signature: u16 machine, u16 section count, 12 bytes,
// u16 optional header size, u16 characteristics; then the optional header and
// the section table, 40 bytes a section with u32 raw size at 16 and u32 raw
// offset at 20.
bool CheckPeStub(const std::vector<uint8_t>& bytes, std::string& error) {
  MemoryStream stream(bytes);
  ByteCursor in(stream);
  if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
    error = "not a Windows executable (no MZ header)";
    return false;
  }
  for (size_t i = kStampOffset; i < kStampOffset + kStampSize; ++i) {
    if (bytes[i] != 0) {
      error = "bytes 28..59 are not zero (the stub already carries an archive?)";
      return false;
    }
  }
  in.Seek(60);
  const uint32_t pe = in.U32();
  in.Seek(pe);
  const uint32_t signature = in.U32();
  in.U16();
  const uint16_t sections = in.U16();
  in.Skip(12);
  const uint16_t optional_size = in.U16();
  in.U16();
  in.Skip(optional_size);
  if (in.failed() || signature != 0x00004550u || sections == 0) {
    error = "not a PE executable";
    return false;
  }
  uint64_t end = in.Tell() + uint64_t{sections} * 40;
  for (uint16_t s = 0; s < sections; ++s) {
    in.Skip(16);
    const uint32_t raw_size = in.U32();
    const uint32_t raw_offset = in.U32();
    in.Skip(16);
    if (raw_size != 0) end = std::max<uint64_t>(end, uint64_t{raw_offset} + raw_size);
  }
  if (in.failed() || end > bytes.size()) {
    error = "the PE section table is damaged";
    return false;
  }
  if (end < bytes.size()) {
    error = "the stub has " + std::to_string(bytes.size() - end) +
            " bytes after its last section (strip it, or it already carries data)";
    return false;
  }
  return true;
}

bool LoadPeStub(const std::string& path, PeStub& stub, std::string& error) {
  auto file = FileStream::Open(path);
  if (!file) {
    error = "cannot open the stub " + path + ": " + SystemReason(errno);
    return false;
  }
  if (file->Length() > 256u * 1024 * 1024) {
    error = "the stub " + path + " is too large";
    return false;
  }
  stub.bytes.resize(static_cast<size_t>(file->Length()));
  if (file->Read(stub.bytes.data(), stub.bytes.size()) != stub.bytes.size()) {
    error = "cannot read the stub " + path;
    return false;
  }
  if (!CheckPeStub(stub.bytes, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace kestrum
