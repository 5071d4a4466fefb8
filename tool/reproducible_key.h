// The key block and archive id of a reproducible archive: derived from what
// is packed instead of drawn at random, so that the same input gives the same
// bytes. The key is stored in plain in the header either way: deriving it
// hides nothing less.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool/archive_writer.h"
#include "tool/source_tree.h"

namespace kestrum {

// True when the environment asks for reproducible output (SOURCE_DATE_EPOCH
// set and not empty, the reproducible-builds convention).
bool ReproducibleFromEnvironment();

// Fills `key_block` (kKeyBlockSize bytes) and a non-zero `archive_id` from a
// SHA-256 of the options that shape the archive, the stub, and every file's
// name, size and content (read here, up to its listed size). Fails naming a
// file that cannot be read.
bool DeriveKeyAndId(const PackOptions& o, const std::string& archive_name,
                    const std::vector<uint8_t>& stub, const std::vector<SourceFile>& files,
                    std::vector<uint8_t>& key_block, uint32_t& archive_id, std::string& error);

}  // namespace kestrum
