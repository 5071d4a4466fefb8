// The writing half of a run: takes the jobs the decoding half queues and turns
// them into files below the destination. It creates each entry's file (asking
// about an existing one), writes its blocks or inflates its members, and ends
// it: a new file under its own name, a replacement written beside the old file
// and moved over it only when complete. A failed or stopped entry leaves
// neither a truncated file nor a damaged one that the user had. With a
// manifest, a file whose content differs from its digest is damaged data.
#pragma once

#include <cryptopp/sha.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "archive/ahead_creator.h"
#include "archive/chunk_decoder.h"
#include "archive/extract_pipeline.h"
#include "archive/file_system.h"
#include "archive/inflate_crew.h"
#include "archive/platform.h"
#include "archive/stage_times.h"

namespace kestrum {

class UnZipper;
struct ArchiveEntry;

class EntryWriter {
 public:
  using FailRun = std::function<void(const std::string& detail)>;

  EntryWriter(UnZipper& archive, Platform& platform, ChunkQueue& queue, InflateCrew& crew,
              StageTimes& times, FailRun fail_run);

  // Runs on its own thread until kFinish; `before` (if set) runs first. An
  // exception fails the run and drops the entry, and the loop goes on taking
  // jobs so that the decoding half never waits for a block that is not given
  // back.
  void WriteAll(const std::function<void()>& before);

  bool ok() const { return !failed_.load(std::memory_order_acquire); }
  bool running() const;
  // Fails the run once, with the first detail.
  void Fail(const std::string& detail);
  // The same for an exception caught, without ever throwing: the run fails
  // even when there is no memory left for the text.
  void FailOn(const std::exception& e) noexcept;

 private:
  void Handle(const PipelineJob& job);
  void Begin(size_t index);
  bool DecideExisting(std::string& relative);
  std::string RefuseNewPath(const std::string& path, const std::string& wanted);
  void Output(const uint8_t* data, size_t n);
  void Inflate(ChunkBuffer& member);
  void WriteInflated(const ChunkBuffer& member, GzipMemberDecoder::Result result,
                     const uint8_t* data, size_t n);
  void ChunkDone();
  void End();
  void Abandon();
  void AbandonQuietly() noexcept;
  std::string Relative(std::string_view name) const;

  UnZipper& a_;
  Platform& platform_;
  FileSystem& files_;
  ChunkQueue& queue_;
  InflateCrew& crew_;
  StageTimes& times_;
  FailRun fail_run_;
  std::atomic<bool> failed_{false};
  GzipMemberDecoder inflater_;
  std::unique_ptr<uint8_t[]> inflated_;
  size_t inflated_capacity_ = 0;
  ArchiveEntry* entry_ = nullptr;
  size_t index_ = 0;
  std::string_view name_;                 // entry_'s, in the archive's name store
  std::string relative_, temp_relative_;  // below the destination
  std::unique_ptr<OutputFile> out_;
  std::unique_ptr<AheadCreator> ahead_;  // where the file system allows it
  uint64_t produced_ = 0;
  int chunk_ = 0;
  bool replace_ = false, skip_ = false;
  // The content's SHA-256 as it is written or tested, when the archive has a
  // manifest to check it against at the entry's end.
  bool hashing_ = false;
  CryptoPP::SHA256 sha_;
};

}  // namespace kestrum
