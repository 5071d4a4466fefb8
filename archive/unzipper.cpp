#include "archive/unzipper.h"

#include <memory>

#include "archive/byte_cursor.h"
#include "archive/container_reader.h"
#include "archive/entry_name.h"
#include "i18n/format.h"
#include "i18n/translate.h"

namespace kestrum {

UnZipper::UnZipper(Platform& platform) : platform_(platform) {}

// The worker uses the object's members: it is stopped and waited for before
// they go away.
UnZipper::~UnZipper() {
  Stop();
  WaitForWorker();
}

int UnZipper::Fail(LoadProblem problem, const std::string& message) {
  load_error_.problem = problem;
  load_error_.message = message;
  return problem == LoadProblem::kNoArchive ? ST_NO_ARCHIVE : ST_FAILED;
}

int UnZipper::Load() {
  return LoadFrom(platform_.ExecutablePath());
}

int UnZipper::LoadFrom(const std::string& path) {
  std::unique_ptr<FileStream> file = FileStream::Open(path);
  if (!file) return Fail(LoadProblem::kCannotOpen, "cannot open " + path);
  return LoadFrom(*file, path);
}

// Everything is read and checked into locals first; the object changes only
// when the whole container is sound, so a damaged archive leaves it as it was.
int UnZipper::LoadFrom(ByteStream& stream, const std::string& path) {
  ByteCursor in(stream);
  ContainerReader reader(in);
  const auto damaged = [&](const std::string& why) { return Fail(LoadProblem::kDamaged, why); };
  const uint64_t length = in.Length();

  SfxStamp stamp;
  if (!reader.ReadStamp(stamp)) return damaged(reader.error());
  if (!stamp.HasArchive()) return Fail(LoadProblem::kNoArchive, "no archive is attached");
  if (stamp.header_offset >= length) return damaged("the header offset lies beyond the file");
  if (stamp.table_offset < 0 || static_cast<uint64_t>(stamp.table_offset) >= length)
    return damaged("the file table offset lies beyond the file");

  HeaderRecord h;
  in.Seek(stamp.header_offset);
  if (!reader.ReadHeaderFields(h) || !reader.ReadHeaderBody(h)) return damaged(reader.error());
  const bool split = h.format != 1 && stamp.volume_count >= 2;

  std::string name;
  uint32_t entry_count = 0;
  in.Seek(static_cast<uint64_t>(stamp.table_offset));
  if (!reader.ReadTableHead(name, entry_count)) return damaged(reader.error());

  RecordForm form = RecordForm::kSingleFile;
  if (split) {
    if (stamp.volume_count > kMaxVolumeCount)
      return damaged("the volume count is impossible (" + std::to_string(stamp.volume_count) + ")");
    if (stamp.directory_offset < in.Tell() || stamp.directory_offset > length)
      return damaged("the directory offset lies outside the file");
    in.Seek(stamp.directory_offset);
    form = RecordForm::kDirectory;
  }
  // Every record takes at least 21 bytes, so the count cannot exceed what is left.
  if (entry_count > in.Left() / RecordBytes(form, 0))
    return damaged("the entry count (" + std::to_string(entry_count) + ") is impossible");

  std::vector<ArchiveEntry> loaded;
  loaded.reserve(entry_count);
  uint64_t total = 0;
  for (uint32_t i = 0; i < entry_count; ++i) {
    EntryRecord r;
    const std::string which = "entry " + std::to_string(i + 1);
    if (!reader.ReadEntry(form, r)) return damaged(which + ": " + reader.error());
    const std::string unsafe = UnsafeNameReason(r.name);
    if (!unsafe.empty()) return damaged(which + " (\"" + r.name + "\"): " + unsafe);
    if (r.stored_size > kMaxStoredSize) return damaged(which + ": the stored size is impossible");
    ArchiveEntry e;
    e.stored_raw = r.stored_raw;
    e.size = r.size;
    e.stored_size = r.stored_size;
    e.name = std::move(r.name);
    if (!split) {
      e.data_offset = in.Tell();
      if (!in.Skip(r.stored_size))
        return damaged(which + ": its data runs past the end of the file");
    }
    total += e.size;
    loaded.push_back(std::move(e));
  }

  table_offset = stamp.table_offset;
  directory_offset = stamp.directory_offset;
  volume_count = stamp.volume_count;
  file_length = length;
  archive_name = std::move(name);
  header.split = h.format != 1;
  header.format = h.format;
  header.reserved1 = h.reserved1;
  header.archive_id = h.archive_id;
  header.language = h.language;
  header.reserved3 = h.reserved3;
  header.key_block = std::move(h.key_block);
  header.description = std::move(h.description);
  header.text_records = std::move(h.text_records);
  header.icon = std::move(h.icon);
  header.banner = std::move(h.banner);
  for (ArchiveEntry& e : loaded) entries.push_back(std::move(e));
  size_total += total;
  IndexEntries();
  archive_path_ = path;
  load_error_ = LoadError();
  if (split) file_length += CheckVolumes(path);
  return ST_DONE;
}

void UnZipper::IndexEntries() {
  entry_index_.clear();
  entry_index_.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) entry_index_.emplace(entries[i].name, i);
}

const ArchiveEntry* UnZipper::FindEntry(const std::string& name) const {
  const auto it = entry_index_.find(name);
  return it == entry_index_.end() ? nullptr : &entries[it->second];
}

// A volume passes when it opens and its header repeats the archive id and its
// own number. The message is shown once however many volumes fail: the text
// is the same for each, and a damaged count could otherwise ask thousands of
// times.
uint64_t UnZipper::CheckVolumes(const std::string& path) {
  const std::string base = VolumeBase(path);
  uint64_t bytes = 0;
  bool missing = false;
  for (uint32_t i = 1; i < volume_count; ++i) {
    std::unique_ptr<FileStream> file = FileStream::Open(VolumeFileName(base, i));
    bool passes = false;
    if (file) {
      ByteCursor in(*file);
      ContainerReader reader(in);
      VolumeHeader v;
      passes = reader.ReadVolumeHeader(v) && v.archive_id == header.archive_id && v.number == i;
    }
    if (passes)
      bytes += file->Length();
    else
      missing = true;
  }
  if (missing) {
    const std::string text = FormatPattern(
        t_("Not found all archive files, please place %d files by mask %s into current catalog"),
        {std::to_string(volume_count), base + ".*"});
    platform_.ShowMessage(t_("Kestrum Vondrel"), text);
  }
  return bytes;
}

}  // namespace kestrum
