#include "archive/unzipper.h"

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "archive/byte_cursor.h"
#include "archive/container_reader.h"
#include "archive/entry_name.h"
#include "archive/name_clashes.h"
#include "i18n/format.h"
#include "i18n/translate.h"

namespace kestrum {

namespace {

std::string Which(size_t i, std::string_view entry_name) {
  return "entry " + std::to_string(i + 1) + " (\"" + std::string(entry_name) + "\")";
}

// The file table's records at the cursor, each checked as it is read; empty,
// or what is wrong. A single-file table's records are followed by their
// data, which is skipped; a directory's are not. Names go into `names`.
std::string ReadEntries(ContainerReader& reader, RecordForm form, uint32_t count, NameStore& names,
                        std::vector<ArchiveEntry>& loaded, uint64_t& total) {
  ByteCursor& in = reader.cursor();
  loaded.reserve(count);
  uint64_t name_bytes = 0;
  EntryRecord r;
  for (uint32_t i = 0; i < count; ++i) {
    if (!reader.ReadEntry(form, r)) return "entry " + std::to_string(i + 1) + ": " + reader.error();
    const std::string unsafe = UnsafeNameReason(r.name);
    if (!unsafe.empty()) return Which(i, r.name) + ": " + unsafe;
    if (r.stored_size > kMaxStoredSize) return Which(i, r.name) + ": the stored size is impossible";
    if (IsFolderName(r.name) && (r.size != 0 || r.stored_size != 0))
      return Which(i, r.name) + ": a folder's entry holds data";
    name_bytes += r.name.size();
    if (name_bytes > kMaxNameBytes) return "the entry names are too long together";
    ArchiveEntry e;
    e.stored_raw = r.stored_raw ? 1 : 0;
    e.size = r.size;
    e.stored_size = r.stored_size;
    e.name_at = names.Add(r.name);
    e.name_size = uint32_t(r.name.size()) & 0x7FFFFFFFu;  // at most kMaxEntryName
    if (form == RecordForm::kSingleFile) {
      e.data_offset = in.Tell();
      if (!in.Skip(r.stored_size))
        return Which(i, r.name) + ": its data runs past the end of the file";
    }
    total += e.size;
    loaded.push_back(e);
  }
  return {};
}

// Names that Windows would take for one file would overwrite each other:
// empty, or the two entries that clash.
std::string NameClashReason(const NameStore& store, const std::vector<ArchiveEntry>& earlier,
                            const std::vector<ArchiveEntry>& loaded) {
  const auto name = [&](size_t i) {
    const ArchiveEntry& e = i < earlier.size() ? earlier[i] : loaded[i - earlier.size()];
    return store.View(e.name_at, e.name_size);
  };
  NameClash clash;
  if (!FindNameClash(earlier.size() + loaded.size(), name, clash)) return {};
  return Which(clash.later, name(clash.later)) +
         (clash.file_and_folder ? ": a file and a folder of the same name as "
                                : ": the same file on Windows as ") +
         Which(clash.earlier, name(clash.earlier));
}

}  // namespace

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
// Nothing in Load may end the program: running out of memory, or anything
// else thrown below, fails it like a damaged archive.
int UnZipper::LoadFrom(ByteStream& stream, const std::string& path) {
  try {
    return LoadChecked(stream, path);
  } catch (const std::bad_alloc&) {
    return Fail(LoadProblem::kDamaged, "the archive needs more memory than there is");
  } catch (const std::exception& e) {
    return Fail(LoadProblem::kDamaged, std::string("the archive cannot be read: ") + e.what());
  }
}

int UnZipper::LoadChecked(ByteStream& stream, const std::string& path) {
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
  const bool split = h.split() && stamp.volume_count >= 2;

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
  // Every record takes at least 21 bytes, so the count cannot exceed what is
  // left: the table's memory is bounded by the file's own bytes.
  if (entry_count > in.Left() / RecordBytes(form, 0) || entry_count > kMaxEntries)
    return damaged("the entry count (" + std::to_string(entry_count) + ") is impossible");

  uint64_t digests_at = 0;
  const uint64_t records_at = in.Tell();
  std::string why = FindManifest(stream, h.manifests, entry_count, digests_at);
  if (!why.empty()) return damaged(why);
  in.Seek(records_at);

  std::vector<ArchiveEntry> loaded;
  uint64_t total = 0;
  why = ReadEntries(reader, form, entry_count, names_, loaded, total);
  if (why.empty()) why = NameClashReason(names_, entries, loaded);
  if (!why.empty()) return damaged(why);

  table_offset = stamp.table_offset;
  directory_offset = stamp.directory_offset;
  volume_count = stamp.volume_count;
  file_length = length;
  archive_name = std::move(name);
  header = std::move(h);
  // The digests are read from the file a run extracts from: entries added to
  // another archive's have none to check against.
  manifest_at_ = entries.empty() ? digests_at : 0;
  manifest_.clear();
  if (entries.empty())
    entries = std::move(loaded);
  else
    entries.insert(entries.end(), loaded.begin(), loaded.end());
  done_.assign(entries.size(), 0);
  size_total += total;
  archive_path_ = path;
  load_error_ = LoadError();
  if (split) file_length += CheckVolumes();
  return ST_DONE;
}

bool UnZipper::ReadManifest(ByteStream& stream) {
  if (!HasManifest()) return true;
  if (manifest_.size() == entries.size() * kDigestSize) return true;
  ByteCursor in(stream);
  std::vector<uint8_t> digests;
  if (!in.Seek(manifest_at_) || !in.Bytes(entries.size() * kDigestSize, digests)) return false;
  manifest_ = std::move(digests);
  return true;
}

bool UnZipper::ReadManifest() {
  std::unique_ptr<FileStream> file = FileStream::Open(archive_path_);
  return file && ReadManifest(*file);
}

// A volume passes when it opens, its header repeats the archive id and its
// own number, and it holds the whole header.
std::unique_ptr<FileStream> UnZipper::OpenVolume(uint32_t number) const {
  std::unique_ptr<FileStream> file =
      FileStream::Open(VolumeFileName(VolumeBase(archive_path_), number));
  if (!file) return nullptr;
  ByteCursor in(*file);
  ContainerReader reader(in);
  VolumeHeader v;
  if (!reader.ReadVolumeHeader(v) || v.archive_id != header.archive_id || v.number != number ||
      !in.Seek(kVolumeHeaderSize))
    return nullptr;
  return file;
}

void UnZipper::ShowMissingVolumes() const {
  const std::string text = FormatPattern(
      t_("Not found all archive files, please place %d files by mask %s into current catalog"),
      {std::to_string(volume_count), VolumeBase(archive_path_) + ".*"});
  platform_.ShowMessage(t_("Kestrum Vondrel"), text);
}

// The message is shown once however many volumes fail: the text is the same
// for each, and a damaged count could otherwise ask thousands of times.
uint64_t UnZipper::CheckVolumes() {
  uint64_t bytes = 0;
  bool missing = false;
  for (uint32_t i = 1; i < volume_count; ++i) {
    if (std::unique_ptr<FileStream> file = OpenVolume(i))
      bytes += file->Length();
    else
      missing = true;
  }
  if (missing) ShowMissingVolumes();
  return bytes;
}

}  // namespace kestrum
