// Creates the files of the entries ahead of the writing half, on a thread of
// its own. Where a file's creation is most of what a small file costs (a
// folder of a million small files), the two cores then share that cost.
// Only the common case is taken ahead: a file entry whose name is free,
// created exclusively, as the writing half would. Anything else (a name that
// exists, a folder that cannot be made) is left to the writing half, which
// then finds it as it would have. Files made ahead and never taken (a run
// stopped or failed before them) are removed when the run ends.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "archive/file_system.h"

namespace kestrum {

class AheadCreator {
 public:
  // Entries 0 .. count-1; relative(i) is entry i's path below `root`, or
  // empty for an entry that is not taken ahead (a folder).
  AheadCreator(FileSystem& files, std::string root, size_t count,
               std::function<std::string(size_t)> relative);
  ~AheadCreator();
  AheadCreator(const AheadCreator&) = delete;
  AheadCreator& operator=(const AheadCreator&) = delete;

  // Starts the thread; the entries' folders must exist by then.
  void Start();
  // Entry i's file when it was made ahead, else null (the caller creates it
  // as usual). Entries are taken in increasing order; the ones passed over
  // lose their files.
  std::unique_ptr<OutputFile> Take(size_t i);
  // Ends the thread and removes every file made and not taken.
  void Stop();

  // How far the thread runs ahead of the entry taken last.
  static constexpr size_t kAhead = 64;

 private:
  struct Made {
    size_t entry;
    std::string relative;
    std::unique_ptr<OutputFile> file;
  };
  void Run();
  void Drop(Made& made);

  FileSystem& files_;
  const std::string root_;
  const size_t count_;
  const std::function<std::string(size_t)> relative_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Made> made_;      // in entry order
  size_t next_ = 0;            // the next entry the thread may claim
  size_t taken_ = 0;           // one past the entry taken last
  bool claimed_busy_ = false;  // the thread works on entry next_ - 1
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace kestrum
