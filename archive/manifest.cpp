#include "archive/manifest.h"

#include <cryptopp/sha.h>

#include "archive/byte_cursor.h"
#include "archive/byte_stream.h"

namespace kestrum {
namespace {

constexpr char kMagic[] = "Kestrum manifest";  // 16 bytes without its NUL
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr size_t kHeadSize = kMagicSize + 8;

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

uint64_t ManifestRecordSize(uint64_t count) {
  return kHeadSize + count * kDigestSize;
}

std::string ManifestRecord(const std::vector<uint8_t>& digests) {
  std::string record(kMagic, kMagicSize);
  Put32(record, kManifestVersion);
  Put32(record, uint32_t(digests.size() / kDigestSize));
  record.append(digests.begin(), digests.end());
  return record;
}

std::string FindManifest(const TextRecords& records, uint64_t entry_count,
                         std::vector<uint8_t>& digests) {
  digests.clear();
  bool found = false;
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string record = records[i];
    if (record.compare(0, kMagicSize, kMagic, kMagicSize) != 0) continue;
    if (found) return "the header holds two manifests";
    found = true;
    MemoryStream stream(reinterpret_cast<const uint8_t*>(record.data()), record.size());
    ByteCursor in(stream);
    in.Skip(kMagicSize);
    const uint32_t version = in.U32();
    const uint32_t count = in.U32();
    if (in.failed()) return "the manifest is cut short";
    if (version != kManifestVersion)
      return "the manifest's version (" + std::to_string(version) + ") is not known";
    if (count != entry_count)
      return "the manifest holds " + std::to_string(count) + " digests for " +
             std::to_string(entry_count) + " entries";
    if (record.size() != ManifestRecordSize(count))
      return "the manifest's length (" + std::to_string(record.size()) +
             " bytes) does not match its count";
    digests.assign(record.begin() + kHeadSize, record.end());
  }
  return {};
}

void Sha256(const void* data, size_t n, uint8_t out[kDigestSize]) {
  CryptoPP::SHA256 sha;
  sha.Update(static_cast<const uint8_t*>(data), n);
  sha.Final(out);
}

}  // namespace kestrum
