// Readers for the records of the container. Each reader checks every count and
// length against what is left in the stream and a fixed ceiling before it
// allocates, and reports the first problem as a message.
#pragma once

#include <string>

#include "archive/byte_cursor.h"
#include "archive/container_format.h"

namespace kestrum {

class ContainerReader {
 public:
  explicit ContainerReader(ByteCursor& cursor) : in_(cursor) {}

  // The stamp at bytes 28..59; fails only when the file is shorter than 60 bytes.
  bool ReadStamp(SfxStamp& stamp);
  // The fixed fields of the header (format .. reserved3), at the cursor.
  bool ReadHeaderFields(HeaderRecord& header);
  // The variable part of the header: key block, description, text records, images.
  bool ReadHeaderBody(HeaderRecord& header);
  bool ReadImage(Image& image);
  // archive_name and entry_count at the cursor.
  bool ReadTableHead(std::string& archive_name, uint32_t& entry_count);
  bool ReadEntry(RecordForm form, EntryRecord& entry);
  bool ReadVolumeHeader(VolumeHeader& volume);

  const std::string& error() const { return error_; }
  ByteCursor& cursor() { return in_; }

  // Records the first failure and marks the cursor failed; returns false.
  bool Fail(const std::string& message);

 private:
  // A u32 length followed by that many bytes, refused above `limit`.
  bool ReadString(const char* what, uint64_t limit, std::string& out, uint32_t* length = nullptr);

  ByteCursor& in_;
  std::string error_;
};

// The text up to the first NUL (the whole text when there is none).
std::string CutAtNul(const std::string& s);

// The name of volume `number` for a volume base (the executable's path
// without its last four characters): base + "." + number, at least three digits.
std::string VolumeFileName(const std::string& volume_base, uint32_t number);

// The executable's path without its last four characters (the whole path is
// dropped when it is shorter).
std::string VolumeBase(const std::string& executable_path);

}  // namespace kestrum
