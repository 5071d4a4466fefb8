// The extraction worker and the readers the window polls.
//
// Protocol: the worker writes the progress fields (the current entry and its
// bytes written, done_total, the done list, and the entries themselves when a
// split archive is re-read) under the write side of `lock`; the readers hold the read
// side for a whole call. `running` is handed between the threads with
// release/acquire ordering; `state` is one atomic word.
#include <algorithm>
#include <mutex>
#include <new>
#include <stdexcept>

#include "archive/file_system.h"
#include "archive/unzipper.h"

namespace kestrum {

bool UnZipper::Start() {
  // A run that is still going on is not started twice.
  if (worker_active_.load(std::memory_order_acquire)) return true;
  if (worker.joinable()) worker.join();  // an earlier run that has ended
  running.store(1, std::memory_order_release);
  worker_active_.store(true, std::memory_order_release);
  try {
    worker = std::thread([this] {
      RunGuarded([this] { Work(); });
      {
        std::lock_guard<std::mutex> hold(worker_end_mutex_);
        worker_active_.store(false, std::memory_order_release);
        worker_ended_.notify_all();
      }
      if (on_run_end) on_run_end();
    });
  } catch (const std::exception& e) {
    // No thread (out of threads or memory): the run fails at once.
    worker_active_.store(false, std::memory_order_release);
    FailRun(std::string("the extraction cannot start: ") + e.what());
    platform_.ShowExtractFailure(extract_error());
    running.store(0, std::memory_order_release);
  }
  return true;
}

// Nothing that goes wrong in a run may end the program: an exception
// (memory, threads, anything from below) fails the run like damaged data.
// Whoever threw has already removed its temporary files on the way out.
void UnZipper::RunGuarded(const std::function<void()>& body) {
  std::string detail;
  try {
    body();
    return;
  } catch (const std::bad_alloc&) {
    detail = "out of memory";
  } catch (const std::exception& e) {
    detail = e.what();
  } catch (...) {
    detail = "an unexpected failure";
  }
  try {
    FailRun("the extraction failed: " + detail);
    platform_.ShowExtractFailure(extract_error());
  } catch (...) {
    state.store(ST_FAILED);
  }
  running.store(0, std::memory_order_release);
}

// Folder part of an entry name: everything before the last separator.
static std::string FolderPart(std::string_view name) {
  const size_t cut = name.find_last_of("\\/");
  return cut == std::string_view::npos ? std::string() : std::string(name.substr(0, cut));
}

void UnZipper::Work() {
  if (state.load() != ST_READY) return;  // an archive object extracts once
  FileSystem& files = platform_.Files();
  const FolderBatch batch(files);
  // The entries' folders are made by the writing half of the run, before its
  // first file, while the decoding half already reads ahead.
  if (!test_only) files.CreateFolders(destination);
  folders_pending_ = !test_only;
  if (IsSplit()) {
    ExtractSplit();
  } else if (std::unique_ptr<FileStream> file = FileStream::Open(archive_path_)) {
    ExtractFrom(*file);
  } else {
    FailRun("cannot open " + archive_path_);
    platform_.ShowExtractFailure(extract_error());
  }
  running.store(0, std::memory_order_release);
}

void UnZipper::CreateEntryFolders() {
  FileSystem& files = platform_.Files();
  std::string last, why;
  for (const ArchiveEntry& e : entries) {
    if (!running.load(std::memory_order_acquire)) break;
    std::string folder = FolderPart(Name(e));
    if (folder.empty() || folder == last) continue;
    last = folder;
    std::replace(folder.begin(), folder.end(), '\\', files.Separator());
    std::replace(folder.begin(), folder.end(), '/', files.Separator());
    // A folder that cannot be made shows up as a file that cannot be created.
    files.CreateFoldersIn(destination, folder, why);
  }
}

bool UnZipper::Stop() {
  if (running.load(std::memory_order_acquire) != 0) {
    running.store(0, std::memory_order_release);
    state.store(ST_CANCELLED);
  }
  return true;
}

void UnZipper::WaitForWorker() {
  if (worker.joinable()) worker.join();
}

bool UnZipper::WaitForWorkerFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(worker_end_mutex_);
  return worker_ended_.wait_for(hold, timeout, [this] { return !WorkerRunning(); });
}

int UnZipper::GetState() const {
  std::shared_lock<std::shared_mutex> hold(lock);
  return state.load();
}

double UnZipper::GetProgress(RunningEntry& out) const {
  std::shared_lock<std::shared_mutex> hold(lock);
  uint64_t written = 0;
  if (current_ < entries.size()) {
    out.index = current_;
    out.name = std::string(Name(current_));
    out.size = entries[current_].size;
    out.written = current_written_;
    // A done entry's bytes are counted in done_total already.
    if (!done_[current_]) written = current_written_;
  } else {
    out = RunningEntry();
    out.index = entries.size();
  }
  if (size_total == 0) return run_finished_.load() && state.load() == ST_DONE ? 1.0 : 0.0;
  const double ratio = (double(done_total) + double(written)) / double(size_total);
  return std::min(1.0, std::max(0.0, ratio));
}

uint64_t UnZipper::SizeTotal() const {
  std::shared_lock<std::shared_mutex> hold(lock);
  return size_total;
}

ArchiveEntry UnZipper::EntryAt(size_t i) const {
  std::shared_lock<std::shared_mutex> hold(lock);
  return entries[i];
}

bool UnZipper::IsDoneAt(size_t index) const {
  std::shared_lock<std::shared_mutex> hold(lock);
  return index < done_.size() && done_[index];
}

bool UnZipper::IsDone(std::string_view name) const {
  std::shared_lock<std::shared_mutex> hold(lock);
  for (size_t i = 0; i < entries.size(); ++i)
    if (Name(i) == name) return done_[i] != 0;
  return false;
}

void UnZipper::BeginEntry(size_t index) {
  std::unique_lock<std::shared_mutex> hold(lock);
  current_ = index;
  current_written_ = 0;
}

void UnZipper::SetWritten(uint64_t bytes) {
  std::unique_lock<std::shared_mutex> hold(lock);
  current_written_ = bytes;
}

void UnZipper::EndEntry(size_t index) {
  std::unique_lock<std::shared_mutex> hold(lock);
  done_total += entries[index].size;
  done_[index] = 1;
}

std::string UnZipper::extract_error() const {
  std::shared_lock<std::shared_mutex> hold(lock);
  return extract_error_;
}

// The state first: it takes no memory, so the run fails whatever happens to
// the text after it.
void UnZipper::FailRun(const std::string& detail) {
  state.store(ST_FAILED);
  std::unique_lock<std::shared_mutex> hold(lock);
  if (extract_error_.empty()) extract_error_ = detail;
}

}  // namespace kestrum
