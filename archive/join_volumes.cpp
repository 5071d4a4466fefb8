// Split archives: the record stream is joined from the executable and the
// volume files into one temporary file, re-read there, extracted and deleted.
//
// Joined stream: executable bytes [0, directory_offset), then each volume file
// i = 1 .. volume_count - 1 from offset 12 (after its header) to its end.
// Stream record, in the joined file, each followed by its chunks:
//   u64 size | u64 stored_size | u32 n + n bytes name (ends at NUL)
#include <atomic>
#include <memory>
#include <mutex>

#include "archive/byte_cursor.h"
#include "archive/container_reader.h"
#include "archive/entry_name.h"
#include "archive/random_tag.h"
#include "archive/unzipper.h"
#include "i18n/format.h"
#include "i18n/translate.h"

namespace kestrum {
namespace {

constexpr size_t kCopyBlock = 1u << 20;

// Appends `n` bytes of `from` (at its position) to `to`; false on a short read
// or a failed write, or when `running` is cleared (Stop) between two blocks.
bool CopyBytes(ByteStream& from, uint64_t n, OutputFile& to, std::vector<uint8_t>& block,
               const std::atomic<int>& running) {
  while (n > 0) {
    if (!running.load(std::memory_order_acquire)) return false;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, block.size()));
    if (from.Read(block.data(), take) != take || !to.Write(block.data(), take)) return false;
    n -= take;
  }
  return true;
}

}  // namespace

// Copies the executable's bytes before the directory, then each volume's
// bytes after its header; empty, or what went wrong (`missing` when a volume
// is missing or another archive's). A stop ends the copy between blocks.
std::string UnZipper::CopyVolumes(FileStream& exe, OutputFile& out, const std::string& temp,
                                  bool& missing) {
  std::vector<uint8_t> block(kCopyBlock);
  if (!CopyBytes(exe, directory_offset, out, block, running)) return "cannot copy " + archive_path_;
  const std::string base = VolumeBase(archive_path_);
  for (uint32_t i = 1; i < volume_count && running.load(std::memory_order_acquire); ++i) {
    const std::string name = VolumeFileName(base, i);
    std::unique_ptr<FileStream> volume = OpenVolume(i);
    if (!volume) {
      missing = true;
      return name + " is missing or belongs to another archive";
    }
    if (!CopyBytes(*volume, volume->Length() - kVolumeHeaderSize, out, block, running))
      return "cannot copy " + name + " into " + temp;
  }
  return {};
}

// The records are checked as at loading: they must agree with the directory
// the window shows, and fit the joined file. Empty, or what is wrong.
std::string UnZipper::ReadJoinedTable(const std::string& temp, std::vector<ArchiveEntry>& joined,
                                      uint64_t& total) {
  std::unique_ptr<FileStream> file = FileStream::Open(temp);
  if (!file) return "cannot read " + temp;
  ByteCursor in(*file);
  ContainerReader reader(in);
  std::string name;
  uint32_t count = 0;
  in.Seek(uint64_t(table_offset));
  if (!reader.ReadTableHead(name, count) || count != entries.size())
    return "the joined volumes do not hold the archive's file table";
  for (uint32_t i = 0; i < count; ++i) {
    EntryRecord r;
    if (!reader.ReadEntry(RecordForm::kStream, r) || r.name != entries[i].name ||
        r.size != entries[i].size || r.stored_size != entries[i].stored_size ||
        !in.Skip(r.stored_size))
      return "entry " + std::to_string(i + 1) + " of the joined volumes is damaged";
    ArchiveEntry e;
    e.size = r.size;
    e.stored_size = r.stored_size;
    e.name = std::move(r.name);
    e.data_offset = in.Tell() - r.stored_size;
    total += e.size;
    joined.push_back(std::move(e));
  }
  return {};
}

// The join file is removed whatever happens, an exception included.
void UnZipper::JoinVolumes() {
  std::string temp;
  try {
    JoinVolumesInto(temp);
  } catch (...) {
    if (!temp.empty()) platform_.Files().Remove(temp);
    throw;
  }
  if (!temp.empty()) platform_.Files().Remove(temp);
}

void UnZipper::JoinVolumesInto(std::string& temp) {
  FileSystem& files = platform_.Files();
  state.store(ST_EXTRACTING);
  const auto fail = [&](const std::string& detail) {
    FailRun(detail);
    platform_.ShowExtractFailure(detail);
  };

  std::unique_ptr<FileStream> exe = FileStream::Open(archive_path_);
  if (!exe || exe->Length() < directory_offset) return fail("cannot read " + archive_path_);

  // The join file gets a fresh name, created exclusively: an earlier run's
  // leftover or another program's file is never written into.
  std::unique_ptr<OutputFile> out;
  for (int attempt = 0; attempt < 8 && !out; ++attempt) {
    const std::string name = files.TempFolder() + "kestrum-join-" + RandomTag() + ".tmp";
    out = files.CreateNew(name);
    if (out) temp = name;
  }
  if (!out) return fail("cannot create a temporary file in " + files.TempFolder());

  bool missing = false;
  std::string problem = CopyVolumes(*exe, *out, temp, missing);
  exe.reset();
  const bool closed = out->Close();
  out.reset();
  // A stop while volumes are copied ends the run here, without a message.
  if (running.load(std::memory_order_acquire) == 0) {
    state.store(ST_DONE);  // as a run stopped while extracting ends
    return;
  }
  if (problem.empty() && !closed) problem = "cannot write " + temp + " (disk full?)";
  std::vector<ArchiveEntry> joined;
  uint64_t total = 0;
  if (problem.empty()) problem = ReadJoinedTable(temp, joined, total);

  if (problem.empty()) {
    {
      // The window's readers hold the read side while they look at entries.
      std::unique_lock<std::shared_mutex> hold(lock);
      entries.swap(joined);
      size_total = total;
      IndexEntries();
    }
    ExtractFrom(temp);
  } else if (missing) {
    FailRun(problem);
    ShowMissingVolumes();
  } else {
    fail(problem);
  }
}

}  // namespace kestrum
