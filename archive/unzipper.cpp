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

std::string Which(size_t i, const std::string& entry_name) {
  return "entry " + std::to_string(i + 1) + " (\"" + entry_name + "\")";
}

// The file table's records at the cursor, each checked as it is read; empty,
// or what is wrong. A single-file table's records are followed by their
// data, which is skipped; a directory's are not.
std::string ReadEntries(ContainerReader& reader, RecordForm form, uint32_t count,
                        std::vector<ArchiveEntry>& loaded, uint64_t& total) {
  ByteCursor& in = reader.cursor();
  loaded.reserve(count);
  uint64_t name_bytes = 0;
  for (uint32_t i = 0; i < count; ++i) {
    EntryRecord r;
    if (!reader.ReadEntry(form, r)) return "entry " + std::to_string(i + 1) + ": " + reader.error();
    const std::string unsafe = UnsafeNameReason(r.name);
    if (!unsafe.empty()) return Which(i, r.name) + ": " + unsafe;
    if (r.stored_size > kMaxStoredSize) return Which(i, r.name) + ": the stored size is impossible";
    if (IsFolderName(r.name) && (r.size != 0 || r.stored_size != 0))
      return Which(i, r.name) + ": a folder's entry holds data";
    name_bytes += r.name.size();
    if (name_bytes > kMaxNameBytes) return "the entry names are too long together";
    ArchiveEntry e;
    e.stored_raw = r.stored_raw;
    e.size = r.size;
    e.stored_size = r.stored_size;
    e.name = std::move(r.name);
    if (form == RecordForm::kSingleFile) {
      e.data_offset = in.Tell();
      if (!in.Skip(r.stored_size))
        return Which(i, e.name) + ": its data runs past the end of the file";
    }
    total += e.size;
    loaded.push_back(std::move(e));
  }
  return {};
}

// Names that Windows would take for one file would overwrite each other:
// empty, or the two entries that clash.
std::string NameClashReason(const std::vector<ArchiveEntry>& earlier,
                            const std::vector<ArchiveEntry>& loaded) {
  std::vector<const std::string*> names;
  names.reserve(earlier.size() + loaded.size());
  for (const ArchiveEntry& e : earlier) names.push_back(&e.name);
  for (const ArchiveEntry& e : loaded) names.push_back(&e.name);
  NameClash clash;
  if (!FindNameClash(names, clash)) return {};
  return Which(clash.later, *names[clash.later]) +
         (clash.file_and_folder ? ": a file and a folder of the same name as "
                                : ": the same file on Windows as ") +
         Which(clash.earlier, *names[clash.earlier]);
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

  std::vector<uint8_t> digests;
  std::string why = FindManifest(h.text_records, entry_count, digests);
  if (!why.empty()) return damaged(why);

  std::vector<ArchiveEntry> loaded;
  uint64_t total = 0;
  why = ReadEntries(reader, form, entry_count, loaded, total);
  if (why.empty()) why = NameClashReason(entries, loaded);
  if (!why.empty()) return damaged(why);

  table_offset = stamp.table_offset;
  directory_offset = stamp.directory_offset;
  volume_count = stamp.volume_count;
  file_length = length;
  archive_name = std::move(name);
  header = std::move(h);
  // Another archive's entries added to these keep a manifest only when both
  // have one.
  if (entries.empty())
    manifest_ = std::move(digests);
  else if (manifest_.empty() || digests.empty())
    manifest_.clear();
  else
    manifest_.insert(manifest_.end(), digests.begin(), digests.end());
  if (entries.empty())
    entries = std::move(loaded);
  else
    for (ArchiveEntry& e : loaded) entries.push_back(std::move(e));
  size_total += total;
  IndexEntries();
  archive_path_ = path;
  load_error_ = LoadError();
  if (split) file_length += CheckVolumes();
  return ST_DONE;
}

// The index is the entries' positions sorted by name (four bytes an entry);
// a stable sort keeps the first of equal names first.
namespace {

uint64_t NameHash(const std::string& name) {
  uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  for (const char c : name) hash = (hash ^ uint8_t(c)) * 0x100000001b3ull;
  return hash;
}

}  // namespace

void UnZipper::IndexEntries() {
  entry_index_.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    entry_index_[i] = {NameHash(entries[i].name), uint32_t(i)};
  std::sort(entry_index_.begin(), entry_index_.end(), [](const NameKey& a, const NameKey& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.entry < b.entry;
  });
}

// The first entry of that name.
const ArchiveEntry* UnZipper::FindEntry(const std::string& name) const {
  const uint64_t hash = NameHash(name);
  auto it = std::lower_bound(entry_index_.begin(), entry_index_.end(), hash,
                             [](const NameKey& k, uint64_t h) { return k.hash < h; });
  for (; it != entry_index_.end() && it->hash == hash; ++it)
    if (entries[it->entry].name == name) return &entries[it->entry];
  return nullptr;
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
