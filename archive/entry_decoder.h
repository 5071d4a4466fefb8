// The decoding half of a run: one entry at a time, every chunk taken from the
// source and routed to the writing half, either as decoded blocks to write or
// as a member for the writing half to inflate itself when it would otherwise
// wait.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/chunk_decoder.h"
#include "archive/chunk_source.h"
#include "archive/extract_pipeline.h"
#include "archive/inflate_crew.h"
#include "archive/stage_times.h"

namespace kestrum {

struct ArchiveEntry;

class EntryDecoder {
 public:
  // `go_on` says whether the run still wants output (not failed, not stopped).
  EntryDecoder(ChunkSource& source, ChunkQueue& queue, InflateCrew& crew, StageTimes& times,
               std::function<bool()> go_on)
      : source_(source), queue_(queue), crew_(crew), times_(times), go_on_(std::move(go_on)) {}

  // Queues entry `index` from its begin to its end; returns what is wrong with
  // its data, or nothing when it went through or the run stopped.
  std::string Decode(size_t index, const ArchiveEntry& entry, std::string_view name);

 private:
  PooledBuffer Acquire(size_t n);
  void Push(PipelineJob::Kind kind, PooledBuffer& block, bool ends_chunk);
  // Counts `n` more bytes of output; false when they pass the entry's size.
  bool Take(uint64_t n);
  std::string RouteMember(PooledBuffer body, uint32_t n);
  std::string Stream(PooledBuffer body, uint32_t n);

  ChunkSource& source_;
  ChunkQueue& queue_;
  InflateCrew& crew_;
  StageTimes& times_;
  std::function<bool()> go_on_;
  GzipMemberDecoder inflater_;
  size_t index_ = 0;
  const ArchiveEntry* entry_ = nullptr;
  std::string_view name_;
  uint64_t decoded_ = 0;  // output of this entry so far; never beyond its size
};

}  // namespace kestrum
