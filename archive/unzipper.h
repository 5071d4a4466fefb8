// The archive object: everything read from the container at start-up and the
// state the extraction worker shares with the window.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/byte_stream.h"
#include "archive/container_format.h"
#include "archive/manifest.h"
#include "archive/name_store.h"
#include "archive/platform.h"

namespace kestrum {

enum StateCode : int {
  ST_DONE = 0,
  ST_READY = 1,
  ST_EXTRACTING = 2,
  ST_CANCELLED = 3,
  ST_NO_ARCHIVE = 5,
  ST_FAILED = 6,
};

// One entry of the table in 32 bytes: a million of them take less memory
// than the table's own bytes. The name lies in the archive's name store
// (UnZipper::Name); whether the entry is done, in the archive's own list.
struct ArchiveEntry {
  ArchiveEntry() : name_size(0), stored_raw(0) {}
  uint64_t size = 0;
  uint64_t stored_size = 0;
  uint64_t data_offset = 0;  // 0 for entries read from a split archive's directory
  uint32_t name_at = 0;      // position in the name store
  uint32_t name_size : 31;
  uint32_t stored_raw : 1;
};
static_assert(sizeof(ArchiveEntry) == 32, "an entry stays 32 bytes on every target");

// The entry a run is at, copied out for the window and the tool.
struct RunningEntry {
  size_t index = 0;  // entries.size() when there is none
  std::string name;
  uint64_t size = 0;
  uint64_t written = 0;
};

// Why Load failed, for messages: a code and a one-line description.
enum class LoadProblem { kNone, kCannotOpen, kNoArchive, kDamaged };
struct LoadError {
  LoadProblem problem = LoadProblem::kNone;
  std::string message;
};

class UnZipper {
 public:
  explicit UnZipper(Platform& platform);
  ~UnZipper();
  UnZipper(const UnZipper&) = delete;
  UnZipper& operator=(const UnZipper&) = delete;

  // Reads the running executable's archive: 0, ST_NO_ARCHIVE or ST_FAILED.
  int Load();
  // The same for an archive file named by path (the command-line tool).
  int LoadFrom(const std::string& path);
  // The same for an archive already open; `path` names it for the volume files.
  int LoadFrom(ByteStream& stream, const std::string& path);
  const LoadError& load_error() const { return load_error_; }

  // Extraction (runs on the worker thread; the window drives it through these).
  bool Start();
  void Work();
  bool Stop();
  int GetState() const;
  // The overall progress 0..1; copies the entry being extracted into `out`.
  double GetProgress(RunningEntry& out) const;
  // The bytes of all entries, read under the lock: a split archive's run
  // sets it again once the volumes are read.
  uint64_t SizeTotal() const;
  // Whether the first entry of that name is done (a walk over the table).
  bool IsDone(std::string_view name) const;
  bool IsDoneAt(size_t index) const;
  // Waits until the worker thread has ended.
  void WaitForWorker();
  // True while the worker thread runs.
  bool WorkerRunning() const { return worker_active_.load(std::memory_order_acquire); }
  // Waits until the worker has ended or `timeout` has passed; true when it has
  // ended. Lets a caller that shows progress wake as soon as the run is over.
  bool WaitForWorkerFor(std::chrono::milliseconds timeout);

  // One run over a container: the archive's own file, or the joined stream
  // of a split archive.
  void ExtractFrom(ByteStream& stream);
  void ExtractSplit();
  // Why the last run failed (state ST_FAILED), for messages.
  std::string extract_error() const;

  // The archive carries a manifest: every entry's content is checked
  // against its SHA-256 as it is written or tested.
  bool HasManifest() const { return manifest_at_ != 0; }
  // Reads the manifest's digests from `stream` (the archive, or the joined
  // volumes), which Load leaves in the file; false when they cannot be read.
  bool ReadManifest(ByteStream& stream);
  // The same from the archive's own file.
  bool ReadManifest();
  // Entry i's SHA-256 (kDigestSize bytes) once ReadManifest has succeeded;
  // nullptr before.
  const uint8_t* ManifestDigest(size_t i) const {
    return i < manifest_.size() / kDigestSize ? manifest_.data() + i * kDigestSize : nullptr;
  }

  // A copy of entry i, read under `lock`: for a window that shows entries
  // while a split archive's run replaces them (names never move).
  ArchiveEntry EntryAt(size_t i) const;
  // Entry i's name, relative and checked safe by Load.
  std::string_view Name(size_t i) const { return Name(entries[i]); }
  std::string_view Name(const ArchiveEntry& e) const { return names_.View(e.name_at, e.name_size); }

  // Split exactly when the header says so and there are at least two volumes.
  bool IsSplit() const { return header.split() && volume_count >= 2; }
  // Path of the archive file that was loaded.
  const std::string& archive_path() const { return archive_path_; }

  int64_t table_offset = 0;
  uint64_t size_total = 0;
  uint64_t done_total = 0;
  uint64_t directory_offset = 0;
  uint32_t volume_count = 0;
  uint64_t file_length = 0;
  std::string destination;
  std::string archive_name;
  HeaderRecord header;
  std::vector<ArchiveEntry> entries;
  std::thread worker;
  std::atomic<int> running{0};
  std::atomic<int> state{ST_READY};
  mutable std::shared_mutex lock;
  // Decode and check everything, write nothing (the tool's "test").
  bool test_only = false;
  // Called on the writing thread after each chunk's output is written (entry
  // index, chunk number from 0); lets tests stop a run at an exact chunk.
  std::function<void(size_t entry, int chunk)> on_chunk_written;
  // Called on the worker thread as its last act, once WorkerRunning() is
  // false: a window that polls on a timer can show the end at once instead
  // of at its next tick. It must not throw.
  std::function<void()> on_run_end;

 private:
  bool folders_pending_ = false;  // the next run makes the entries' folders first
  int Fail(LoadProblem problem, const std::string& message);
  int LoadChecked(ByteStream& stream, const std::string& path);
  // Checks volumes 1 .. volume_count - 1 beside the executable; returns the
  // bytes of those that pass and shows the missing-volume message once.
  uint64_t CheckVolumes();
  // Volume `number` beside the archive, open just after its header once the
  // header is checked; nullptr when it is missing or another archive's.
  std::unique_ptr<FileStream> OpenVolume(uint32_t number) const;
  // Asks the user to place the volumes beside the executable.
  void ShowMissingVolumes() const;

  // The writing half's reports, each under the write side of `lock`.
  friend class EntryWriter;
  void BeginEntry(size_t index);
  void SetWritten(uint64_t bytes);
  void EndEntry(size_t index);
  void FailRun(const std::string& detail);
  // Makes the folders of every entry (the first step of a run's writing half).
  void CreateEntryFolders();
  std::string ReadJoinedTable(ByteStream& joined_stream, std::vector<ArchiveEntry>& joined,
                              uint64_t& total);
  // Runs `body`; an exception from it fails the run (state ST_FAILED, the
  // failure message) instead of ending the program.
  void RunGuarded(const std::function<void()>& body);

  Platform& platform_;
  LoadError load_error_;
  std::string archive_path_;
  NameStore names_;
  std::vector<uint8_t> done_;  // one byte an entry, under `lock`
  static constexpr size_t kNoEntry = ~size_t(0);
  size_t current_ = kNoEntry;  // the entry being written, under `lock`
  uint64_t current_written_ = 0;
  std::atomic<bool> worker_active_{false};
  std::mutex worker_end_mutex_;
  std::condition_variable worker_ended_;
  std::atomic<bool> run_finished_{false};
  std::string extract_error_;      // under `lock`
  uint64_t manifest_at_ = 0;       // where the digests lie in the file, or 0
  std::vector<uint8_t> manifest_;  // the digests once read, in entry order
};

}  // namespace kestrum
