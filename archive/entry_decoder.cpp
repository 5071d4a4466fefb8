#include "archive/entry_decoder.h"

#include <algorithm>
#include <cstring>

#include "archive/unzipper.h"

namespace kestrum {

PooledBuffer EntryDecoder::Acquire(size_t n) {
  StageTimes::Probe probe(times_, StageTimes::kWaitBlock);
  return PooledBuffer(queue_, queue_.Acquire(n));
}

void EntryDecoder::Push(PipelineJob::Kind kind, PooledBuffer& block, bool ends_chunk) {
  if (kind != PipelineJob::kPacked) return queue_.Push({kind, index_, block.release(), ends_chunk});
  // Registered before it is queued, so the writing half always finds it.
  crew_.Register(block.operator->());
  try {
    queue_.Push({kind, index_, block.operator->(), ends_chunk});
  } catch (...) {
    crew_.Finish(block.operator->());  // no helper may read it once it is free
    throw;
  }
  block.release();
}

bool EntryDecoder::Take(uint64_t n) {
  if (n > entry_->size - decoded_) return false;
  decoded_ += n;
  return true;
}

std::string EntryDecoder::Decode(size_t index, const ArchiveEntry& entry, std::string_view name) {
  index_ = index;
  entry_ = &entry;
  name_ = name;
  decoded_ = 0;
  queue_.Push({PipelineJob::kBeginEntry, index, nullptr});
  if (!source_.BeginEntry(entry, name)) return source_.error();
  while (!source_.EntryDone() && go_on_()) {
    uint32_t n = 0;
    if (!source_.NextLength(n)) return source_.error();
    PooledBuffer body = Acquire(n);
    if (!source_.ReadBody(body->data.get(), n)) return source_.error();
    if (entry.stored_raw) {
      if (!Take(n)) return TooLongText(name_, entry.size);
      Push(PipelineJob::kOutput, body, true);
      continue;
    }
    const std::string wrong = RouteMember(std::move(body), n);
    if (!wrong.empty()) return wrong;
  }
  queue_.Push({PipelineJob::kEndEntry, index, nullptr});
  return {};
}

// A member that fits a block goes to the helpers and the writing half when
// there are helpers, or when the writing half has little else to do; else it
// is inflated here into one block, or streamed when it is larger than a block
// (or than it claims).
std::string EntryDecoder::RouteMember(PooledBuffer body, uint32_t n) {
  const size_t stated = GzipMemberDecoder::StatedSize(body->data.get(), n);
  const bool fits = n >= 18 && stated <= GzipMemberDecoder::kFastOutput;
  if (fits && (crew_.helpers() > 0 || queue_.Pending() < 2)) {
    Push(PipelineJob::kPacked, body, true);
    return {};
  }
  if (fits) {
    PooledBuffer block = Acquire(std::max<size_t>(stated, 1));
    size_t produced = 0;
    GzipMemberDecoder::Result result;
    {
      StageTimes::Probe probe(times_, StageTimes::kInflateDecoder);
      result = inflater_.DecodeInto(body->data.get(), n, block->data.get(), stated, &produced);
    }
    if (result == GzipMemberDecoder::Result::kOk) {
      body.reset();
      if (!Take(produced)) return TooLongText(name_, entry_->size);
      block->length = produced;
      Push(PipelineJob::kOutput, block, true);
      return {};
    }
    if (result == GzipMemberDecoder::Result::kDamaged)
      return std::string(name_) + ": " + GzipMemberDecoder::kDamagedText;
  }
  return Stream(std::move(body), n);
}

// Each piece is handed on once the next one arrives, so the last is marked
// as ending the chunk.
std::string EntryDecoder::Stream(PooledBuffer body, uint32_t n) {
  PooledBuffer pending;
  bool too_long = false;
  const std::string error =
      inflater_.DecodeStreaming(body->data.get(), n, [&](const uint8_t* d, size_t k) {
        if (!Take(k)) {
          too_long = true;
          return false;
        }
        if (pending) Push(PipelineJob::kOutput, pending, false);
        pending = Acquire(k);
        std::memcpy(pending->data.get(), d, k);
        return go_on_();
      });
  body.reset();
  if (too_long) return TooLongText(name_, entry_->size);
  // A stopped or failed run ends the stream without a word of its own.
  if (!error.empty()) return go_on_() ? std::string(name_) + ": " + error : std::string();
  if (pending) Push(PipelineJob::kOutput, pending, true);
  return {};
}

}  // namespace kestrum
