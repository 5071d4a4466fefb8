#include "archive/manifest.h"

#include <cryptopp/sha.h>

#include "archive/byte_cursor.h"
#include "archive/byte_stream.h"

namespace kestrum {
namespace {

constexpr size_t kMagicSize = kManifestMagicSize;
constexpr size_t kHeadSize = kMagicSize + 8;

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

uint64_t ManifestRecordSize(uint64_t count) {
  return kHeadSize + count * kDigestSize;
}

std::string ManifestRecord(const std::vector<uint8_t>& digests) {
  std::string record(kManifestMagic, kMagicSize);
  Put32(record, kManifestVersion);
  Put32(record, uint32_t(digests.size() / kDigestSize));
  record.append(digests.begin(), digests.end());
  return record;
}

std::string FindManifest(ByteStream& stream, const std::vector<RecordPlace>& places,
                         uint64_t entry_count, uint64_t& digests_at) {
  digests_at = 0;
  if (places.empty()) return {};
  if (places.size() > 1) return "the header holds two manifests";
  const RecordPlace& place = places[0];
  ByteCursor in(stream);
  in.Seek(place.offset + kMagicSize);
  const uint32_t version = in.U32();
  const uint32_t count = in.U32();
  if (in.failed() || place.size < kHeadSize) return "the manifest is cut short";
  if (version != kManifestVersion)
    return "the manifest's version (" + std::to_string(version) + ") is not known";
  if (count != entry_count)
    return "the manifest holds " + std::to_string(count) + " digests for " +
           std::to_string(entry_count) + " entries";
  if (place.size != ManifestRecordSize(count))
    return "the manifest's length (" + std::to_string(place.size) +
           " bytes) does not match its count";
  digests_at = place.offset + kHeadSize;
  return {};
}

void Sha256(const void* data, size_t n, uint8_t out[kDigestSize]) {
  CryptoPP::SHA256 sha;
  sha.Update(static_cast<const uint8_t*>(data), n);
  sha.Final(out);
}

}  // namespace kestrum
