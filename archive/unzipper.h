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
#include <thread>
#include <vector>

#include "archive/byte_stream.h"
#include "archive/container_format.h"
#include "archive/manifest.h"
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

struct ArchiveEntry {
  bool done = false;
  bool stored_raw = false;
  uint64_t size = 0;
  uint64_t written = 0;
  uint64_t stored_size = 0;
  uint64_t data_offset = 0;  // 0 for entries read from a split archive's directory
  std::string name;          // relative, checked safe by Load
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
  // The overall progress 0..1; copies the entry being extracted into `out`
  // and, when asked, its index into `index` (entries.size() when none).
  double GetProgress(ArchiveEntry& out, size_t* index = nullptr) const;
  // The bytes of all entries, read under the lock: a split archive's run
  // sets it again once the volumes are read.
  uint64_t SizeTotal() const;
  bool IsDone(const std::string& name) const;
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
  bool HasManifest() const { return !manifest_.empty(); }
  // Entry i's SHA-256 from the manifest (kDigestSize bytes); HasManifest() only.
  const uint8_t* ManifestDigest(size_t i) const { return manifest_.data() + i * kDigestSize; }

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
  std::string current_name;
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

  // Rebuilds the name index; the caller holds the write side of `lock` or no
  // worker exists.
  void IndexEntries();
  // The first entry of that name, or nullptr; the caller holds `lock`.
  const ArchiveEntry* FindEntry(const std::string& name) const;
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
  // Every entry by the hash of its name, sorted: sorting a million numbers
  // takes a fraction of the time that sorting a million names does.
  struct NameKey {
    uint64_t hash;
    uint32_t entry;
  };
  std::vector<NameKey> entry_index_;
  std::atomic<bool> worker_active_{false};
  std::mutex worker_end_mutex_;
  std::condition_variable worker_ended_;
  std::atomic<bool> run_finished_{false};
  std::string extract_error_;      // under `lock`
  std::vector<uint8_t> manifest_;  // the digests, in entry order, or empty
};

}  // namespace kestrum
