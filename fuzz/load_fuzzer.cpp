// Feeds arbitrary bytes to the archive loader as if they were the executable.
// A loaded archive must hold only safe names and entries that fit the file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/byte_stream.h"
#include "archive/entry_name.h"
#include "archive/unzipper.h"
#include "platform/native_file_system.h"

namespace {

class QuietPlatform : public kestrum::Platform {
 public:
  std::string ExecutablePath() override { return "/nonexistent/kestrum-fuzz/x.exe"; }
  void ShowMessage(const std::string&, const std::string&) override {}
  kestrum::OverwriteAnswer AskOverwrite(const std::string&, const std::string&) override {
    return {};
  }
  kestrum::FileSystem& Files() override { return kestrum::NativeFileSystem(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietPlatform platform;
  kestrum::UnZipper archive(platform);
  kestrum::MemoryStream stream(data, size);
  if (archive.LoadFrom(stream, platform.ExecutablePath()) != kestrum::ST_DONE) return 0;
  for (const kestrum::ArchiveEntry& e : archive.entries) {
    if (!kestrum::UnsafeNameReason(archive.Name(e)).empty()) std::abort();
    if (!archive.IsSplit() && e.data_offset + e.stored_size > size) std::abort();
    if (e.stored_size > kestrum::kMaxStoredSize) std::abort();
  }
  if (archive.header.key_block.size() < kestrum::kMinKeyBlock) std::abort();
  // Everything kept stays under its ceiling.
  if (archive.entries.size() > kestrum::kMaxEntries) std::abort();
  if (archive.header.description.size() > kestrum::kMaxDescription) std::abort();
  if (archive.header.text_record_count() > kestrum::kMaxTextRecords) std::abort();
  if (archive.header.text_records.bytes() > kestrum::kMaxTextRecordBytes) std::abort();
  return 0;
}
