// Inflating on every core. The decoding half must decipher the members in
// file order (the keystream is one sequence), but each deciphered member is a
// complete gzip member that can be inflated on its own. Every member the
// decoding half queues for inflating is also registered here; helper threads
// take registered members oldest first and inflate them ahead of the writing
// half. The writing half claims each member when its turn comes: a helper's
// finished output is written as it stands, a member nobody has started is
// inflated by the writing half itself, so it never waits on a helper that has
// not begun. Output blocks have a byte budget of their own, apart from the
// queue's, so a helper never waits for a block the writing half holds.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/chunk_decoder.h"
#include "archive/extract_pipeline.h"
#include "archive/stage_times.h"

namespace kestrum {

class InflateCrew {
 public:
  // What a helper made of a member.
  struct Inflated {
    GzipMemberDecoder::Result result = GzipMemberDecoder::Result::kOk;
    const uint8_t* data = nullptr;
    size_t length = 0;
  };
  // Output blocks of all helpers together hold at most this many bytes (one
  // block may exceed it alone).
  static constexpr size_t kBudget = 32u * 1024 * 1024;

  // How many helpers pay off on a machine with `cores` cores: the decoding
  // and writing halves keep two threads busy, and beyond a few helpers the
  // deciphering in order is the limit.
  static int HelpersFor(unsigned cores);
  // For this machine; KESTRUM_INFLATE_HELPERS=N (0-16) sets the count, for
  // measuring and testing.
  static int HelpersHere();

  // Starts up to `helpers` threads (fewer when the system refuses some).
  InflateCrew(int helpers, StageTimes& times);
  ~InflateCrew();
  InflateCrew(const InflateCrew&) = delete;
  InflateCrew& operator=(const InflateCrew&) = delete;

  int helpers() const { return int(threads_.size()); }
  // The decoding half: `member` (n bytes, a complete gzip member that fits a
  // block) is queued for inflating. Takes no memory, so it cannot fail.
  void Register(ChunkBuffer* member) noexcept;
  // The writing half, in queue order: the helper's output for `member`,
  // waiting if a helper is at it; nullptr when none took it, and now none
  // will (the caller inflates it). Valid until Finish.
  // While a helper is at it, later members are inflated with `inflater`.
  const Inflated* Claim(ChunkBuffer* member, GzipMemberDecoder& inflater);
  // The writing half is done with `member`: its output block goes back.
  // Waits if a helper is still at it, so the member's block can be reused.
  void Finish(ChunkBuffer* member) noexcept;
  // Ends the helpers (after the writing half has finished).
  void Stop() noexcept;

 private:
  enum class State { kOpen, kTaken, kDone, kClaimed };
  struct Block {
    std::unique_ptr<uint8_t[]> data;
    size_t capacity = 0;
  };
  struct Ticket {
    ChunkBuffer* member = nullptr;
    State state = State::kOpen;
    size_t stated = 0;  // the length the member's trailer states
    Block output;
    Inflated done;
  };

  void Help();
  bool InflateOne(Ticket* t, GzipMemberDecoder& inflater, std::unique_lock<std::mutex>& hold,
                  StageTimes::Stage stage);
  // The oldest open ticket whose output the budget allows; nullptr if none.
  Ticket* NextOpen();
  Ticket* Find(ChunkBuffer* member);
  Block TakeBlock(size_t n);
  void GiveBack(Block block);

  StageTimes& times_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Every registered member holds its own queue block, so there are never
  // more tickets than blocks.
  Ticket ring_[ChunkQueue::kBuffers];
  size_t head_ = 0, count_ = 0;
  std::vector<Block> spare_;
  size_t held_bytes_ = 0;  // capacity of the blocks in tickets and spare
  size_t in_use_ = 0;      // capacity of the blocks in tickets
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kestrum
