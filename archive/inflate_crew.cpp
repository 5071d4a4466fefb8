#include "archive/inflate_crew.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace kestrum {

// On two cores the decoding and writing halves already share the inflating
// between them and keep both cores busy; a third thread only adds switching
// and cache traffic (256 MiB tested: 0.42 s without a helper, 0.47-0.55 s
// with one). Beyond four helpers the deciphering in order is the limit.
int InflateCrew::HelpersFor(unsigned cores) {
  return cores >= 3 ? int(std::min(cores - 2, 4u)) : 0;
}

int InflateCrew::HelpersHere() {
  if (const char* wanted = std::getenv("KESTRUM_INFLATE_HELPERS")) {
    char* end = nullptr;
    const long n = std::strtol(wanted, &end, 10);
    if (end != wanted && *end == '\0' && n >= 0 && n <= 16) return int(n);
  }
  return HelpersFor(std::thread::hardware_concurrency());
}

InflateCrew::InflateCrew(int helpers, StageTimes& times) : times_(times) {
  spare_.reserve(ChunkQueue::kBuffers);  // GiveBack never allocates
  threads_.reserve(size_t(std::max(helpers, 0)));
  for (int i = 0; i < helpers; ++i) {
    try {
      threads_.emplace_back([this] {
        try {
          Help();
        } catch (...) {
          // No inflater (out of memory): the others and the writing half
          // inflate what this one would have.
        }
      });
    } catch (...) {
      break;  // no more threads: fewer helpers
    }
  }
}

InflateCrew::~InflateCrew() {
  Stop();
}

void InflateCrew::Stop() noexcept {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

void InflateCrew::Register(ChunkBuffer* member) noexcept {
  if (threads_.empty()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (count_ == ChunkQueue::kBuffers) return;  // cannot happen: one block each
    Ticket& t = ring_[(head_ + count_++) % ChunkQueue::kBuffers];
    t.member = member;
    t.state = State::kOpen;
    t.stated =
        std::max<size_t>(GzipMemberDecoder::StatedSize(member->data.get(), member->length), 1);
    t.done = {};
  }
  changed_.notify_one();
}

InflateCrew::Ticket* InflateCrew::Find(ChunkBuffer* member) {
  for (size_t i = 0; i < count_; ++i) {
    Ticket& t = ring_[(head_ + i) % ChunkQueue::kBuffers];
    if (t.member == member) return &t;
  }
  return nullptr;
}

InflateCrew::Ticket* InflateCrew::NextOpen() {
  for (size_t i = 0; i < count_; ++i) {
    Ticket& t = ring_[(head_ + i) % ChunkQueue::kBuffers];
    if (!t.member || t.state != State::kOpen) continue;
    // Oldest first: when the budget cannot take this one, wait for blocks
    // to come back rather than run ahead with a later one.
    return in_use_ == 0 || in_use_ + t.stated <= kBudget ? &t : nullptr;
  }
  return nullptr;
}

// A spare block large enough, or a new one; spares that no longer fit the
// budget are let go first. Called with the lock held.
InflateCrew::Block InflateCrew::TakeBlock(size_t n) {
  for (auto it = spare_.begin(); it != spare_.end(); ++it) {
    if (it->capacity < n) continue;
    Block b = std::move(*it);
    spare_.erase(it);
    return b;
  }
  while (!spare_.empty() && held_bytes_ + 2 * n > kBudget) {
    held_bytes_ -= spare_.back().capacity;
    spare_.pop_back();
  }
  // Rounded up, so that a block serves the members after it too.
  size_t capacity = 64 * 1024;
  while (capacity < n) capacity *= 2;
  Block b;
  b.data.reset(new uint8_t[capacity]);
  b.capacity = capacity;
  held_bytes_ += n;
  return b;
}

void InflateCrew::GiveBack(Block block) {
  if (held_bytes_ > kBudget || spare_.size() == spare_.capacity()) {
    held_bytes_ -= block.capacity;
    return;  // freed
  }
  spare_.push_back(std::move(block));
}

// Inflates the open ticket `t` with the lock let go meanwhile; false when
// there was no memory for its output (it stays open).
bool InflateCrew::InflateOne(Ticket* t, GzipMemberDecoder& inflater,
                             std::unique_lock<std::mutex>& hold, StageTimes::Stage stage) {
  try {
    t->output = TakeBlock(t->stated);
  } catch (...) {
    return false;
  }
  t->state = State::kTaken;
  in_use_ += t->output.capacity;
  const ChunkBuffer* member = t->member;
  hold.unlock();
  size_t produced = 0;
  GzipMemberDecoder::Result result;
  {
    StageTimes::Probe probe(times_, stage);
    result = inflater.DecodeInto(member->data.get(), member->length, t->output.data.get(),
                                 t->stated, &produced);
  }
  hold.lock();
  t->done = {result, t->output.data.get(), produced};
  t->state = State::kDone;
  changed_.notify_all();
  return true;
}

void InflateCrew::Help() {
  GzipMemberDecoder inflater;
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    Ticket* t = nullptr;
    changed_.wait(hold, [&] { return stop_ || (t = NextOpen()) != nullptr; });
    if (stop_) return;
    // Out of memory: the ticket stays open for the writing half.
    if (!InflateOne(t, inflater, hold, StageTimes::kInflateHelper)) return;
  }
}

const InflateCrew::Inflated* InflateCrew::Claim(ChunkBuffer* member, GzipMemberDecoder& inflater) {
  std::unique_lock<std::mutex> hold(mutex_);
  Ticket* t = Find(member);
  if (!t) return nullptr;
  // While a helper is at this member, the writing half inflates a later one
  // rather than wait.
  while (t->state == State::kTaken) {
    Ticket* later = NextOpen();
    if (later && InflateOne(later, inflater, hold, StageTimes::kInflateWriter)) continue;
    StageTimes::Probe probe(times_, StageTimes::kWaitHelper);
    changed_.wait(hold);
  }
  if (t->state == State::kDone) return &t->done;
  t->state = State::kClaimed;
  return nullptr;
}

void InflateCrew::Finish(ChunkBuffer* member) noexcept {
  std::unique_lock<std::mutex> hold(mutex_);
  Ticket* t = Find(member);
  if (!t) return;
  changed_.wait(hold, [t] { return t->state != State::kTaken; });
  if (t->output.data) {
    in_use_ -= t->output.capacity;
    GiveBack(std::move(t->output));
    t->output = {};
  }
  t->member = nullptr;
  t->done = {};
  // Tickets end in queue order; a gap left by one that did not is closed
  // once those before it have ended too.
  while (count_ > 0 && !ring_[head_].member) {
    head_ = (head_ + 1) % ChunkQueue::kBuffers;
    --count_;
  }
  hold.unlock();
  changed_.notify_all();  // the budget may let a helper go on
}

}  // namespace kestrum
