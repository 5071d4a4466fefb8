// The manifest: the SHA-256 of every entry's content, carried in one of the
// header's text records, which every reader keeps and none interprets, so an
// archive with it still opens in a reader that does not know it. Gzip chunks
// carry a CRC-32 each; entries stored raw carry nothing, and neither check
// binds the volume files to a signature over the executable. The manifest
// does both: it sits in the header, inside the executable.
//
// Manifest record (one text record):
//   16 bytes "Kestrum manifest" | u32 version (1) | u32 count |
//   count x 32 bytes: SHA-256 of each entry's content, in table order
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/byte_stream.h"
#include "archive/container_format.h"

namespace kestrum {

constexpr size_t kDigestSize = 32;
constexpr uint32_t kManifestVersion = 1;

// What a run says of an entry whose content differs from its digest.
constexpr char kNotAsInManifestText[] =
    "damaged data: the content differs from the archive's manifest (SHA-256)";

// The record for these digests (kDigestSize bytes each, in table order).
std::string ManifestRecord(const std::vector<uint8_t>& digests);
// The record's size for `count` entries.
uint64_t ManifestRecordSize(uint64_t count);

// The record's first bytes, by which a reader knows it among the others.
constexpr char kManifestMagic[] = "Kestrum manifest";
constexpr size_t kManifestMagicSize = sizeof kManifestMagic - 1;

// Checks the manifest that the header reader left in `stream` (at most one
// place) against the entry count; `digests_at` gets where its digests lie,
// or 0 when there is none. Returns what is wrong (one line), or empty.
std::string FindManifest(ByteStream& stream, const std::vector<RecordPlace>& places,
                         uint64_t entry_count, uint64_t& digests_at);

// The digest of `n` bytes, as a one-shot helper for the packer and tests.
void Sha256(const void* data, size_t n, uint8_t out[kDigestSize]);

}  // namespace kestrum
