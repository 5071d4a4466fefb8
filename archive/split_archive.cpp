// Split archives: the record stream is read in place, across the executable
// and the volume files (see volume_set_stream.h), and extracted from there.
//
// Stream record, in the joined stream, each followed by its chunks:
//   u64 size | u64 stored_size | u32 n + n bytes name (ends at NUL)
#include <memory>
#include <mutex>

#include "archive/byte_cursor.h"
#include "archive/container_reader.h"
#include "archive/unzipper.h"
#include "archive/volume_set_stream.h"

namespace kestrum {

// The records are checked as at loading: they must agree with the directory
// the window shows, and fit the joined stream. Empty, or what is wrong.
std::string UnZipper::ReadJoinedTable(ByteStream& joined_stream, std::vector<ArchiveEntry>& joined,
                                      uint64_t& total) {
  ByteCursor in(joined_stream);
  ContainerReader reader(in);
  std::string name;
  uint32_t count = 0;
  in.Seek(uint64_t(table_offset));
  const auto damaged = [&](const std::string& what) {
    const std::string problem = joined_stream.Problem();
    return problem.empty() ? what : problem;
  };
  if (!reader.ReadTableHead(name, count) || count != entries.size())
    return damaged("the volumes do not hold the archive's file table");
  for (uint32_t i = 0; i < count; ++i) {
    EntryRecord r;
    if (!reader.ReadEntry(RecordForm::kStream, r) || r.name != Name(i) ||
        r.size != entries[i].size || r.stored_size != entries[i].stored_size ||
        !in.Skip(r.stored_size))
      return damaged("entry " + std::to_string(i + 1) + " of the volumes is damaged");
    ArchiveEntry e = entries[i];  // the same name, in the same place
    e.stored_raw = 0;
    e.data_offset = in.Tell() - r.stored_size;
    total += e.size;
    joined.push_back(e);
  }
  return {};
}

// Every volume is checked before anything is written (header, archive id,
// number, a regular file), and its length taken; a stop ends the checks
// between two volumes.
void UnZipper::ExtractSplit() {
  state.store(ST_EXTRACTING);
  const auto fail = [&](const std::string& detail) {
    FailRun(detail);
    platform_.ShowExtractFailure(detail);
  };
  std::unique_ptr<FileStream> exe = FileStream::Open(archive_path_);
  if (!exe || exe->Length() < directory_offset) return fail("cannot read " + archive_path_);

  std::vector<VolumeSetStream::Piece> pieces{{archive_path_, 0, directory_offset}};
  const std::string base = VolumeBase(archive_path_);
  for (uint32_t i = 1; i < volume_count; ++i) {
    if (running.load(std::memory_order_acquire) == 0) {
      state.store(ST_DONE);  // as a run stopped while extracting ends
      return;
    }
    const std::string name = VolumeFileName(base, i);
    std::unique_ptr<FileStream> volume = OpenVolume(i);
    if (!volume) {
      FailRun(name + " is missing or belongs to another archive");
      ShowMissingVolumes();
      return;
    }
    pieces.push_back({name, kVolumeHeaderSize, volume->Length() - kVolumeHeaderSize});
  }
  exe.reset();
  VolumeSetStream joined_stream(std::move(pieces), [this](size_t index) {
    return index == 0 ? FileStream::Open(archive_path_) : OpenVolume(uint32_t(index));
  });

  std::vector<ArchiveEntry> joined;
  uint64_t total = 0;
  const std::string problem = ReadJoinedTable(joined_stream, joined, total);
  if (!problem.empty()) return fail(problem);
  {
    // The window's readers hold the read side while they look at entries.
    std::unique_lock<std::shared_mutex> hold(lock);
    entries.swap(joined);
    size_total = total;
  }
  ExtractFrom(joined_stream);
}

}  // namespace kestrum
