// Writers for the records of the container, the mirror of container_reader:
// each returns or appends the bytes of one record, laid out as documented above
// the code that reads it (container_reader.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/byte_writer.h"
#include "archive/container_format.h"

namespace kestrum {

// Writes the stamp's fields into bytes 28..59 of an executable's image.
void PutStamp(std::vector<uint8_t>& executable, const SfxStamp& stamp);

// The whole header: fixed fields, key block, description, text records, images.
std::vector<uint8_t> HeaderBytes(const HeaderRecord& header);

// The file table's head: archive name and entry count.
std::vector<uint8_t> TableHeadBytes(const std::string& archive_name, uint32_t entry_count);

// An entry record of the given form (the stream form has no flag byte). Its
// stored_size may be patched later at StoredSizeAt(form).
void PutEntry(ByteWriter& out, RecordForm form, const EntryRecord& entry);

// The plain u32 length before each chunk's enciphered body.
void PutChunkLength(ByteWriter& out, uint32_t body_length);

// The 12 bytes that open volume file `header.number`.
std::vector<uint8_t> VolumeHeaderBytes(const VolumeHeader& header);

}  // namespace kestrum
