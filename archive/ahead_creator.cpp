#include "archive/ahead_creator.h"

#include <utility>

namespace kestrum {

AheadCreator::AheadCreator(FileSystem& files, std::string root, size_t count,
                           std::function<std::string(size_t)> relative)
    : files_(files), root_(std::move(root)), count_(count), relative_(std::move(relative)) {}

AheadCreator::~AheadCreator() {
  Stop();
}

void AheadCreator::Start() {
  if (!thread_.joinable() && count_ > 0) thread_ = std::thread([this] { Run(); });
}

void AheadCreator::Run() {
  for (;;) {
    size_t entry;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      changed_.wait(hold, [&] { return stop_ || next_ >= count_ || next_ < taken_ + kAhead; });
      if (stop_ || next_ >= count_) return;
      entry = next_++;
      claimed_busy_ = true;
    }
    Made made{entry, {}, nullptr};
    try {
      made.relative = relative_(entry);
      std::string why;
      if (!made.relative.empty()) made.file = files_.CreateNewIn(root_, made.relative, why);
    } catch (...) {
      made.file.reset();  // out of memory: the writing half makes it instead
    }
    std::lock_guard<std::mutex> hold(mutex_);
    claimed_busy_ = false;
    if (made.file) made_.push_back(std::move(made));
    changed_.notify_all();
  }
}

std::unique_ptr<OutputFile> AheadCreator::Take(size_t i) {
  std::unique_lock<std::mutex> hold(mutex_);
  taken_ = i + 1;
  changed_.notify_all();
  // Not claimed yet: the thread skips it and the caller makes it.
  if (next_ <= i) {
    next_ = i + 1;
  } else {
    // Claimed: its file is being made or made; wait until the thread is past it.
    changed_.wait(hold, [&] { return !claimed_busy_ || next_ - 1 > i; });
  }
  std::unique_ptr<OutputFile> file;
  while (!made_.empty() && made_.front().entry <= i) {
    if (made_.front().entry == i)
      file = std::move(made_.front().file);
    else
      Drop(made_.front());
    made_.pop_front();
  }
  return file;
}

void AheadCreator::Stop() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  for (Made& made : made_) Drop(made);
  made_.clear();
}

// A file made ahead that nobody writes: it is empty and ours, so it goes.
void AheadCreator::Drop(Made& made) {
  made.file.reset();
  files_.RemoveIn(root_, made.relative);
}

}  // namespace kestrum
