// One extraction run over a container file: every entry's chunks read in file
// order, deciphered with one continuous keystream, inflated unless stored raw,
// and written into the destination.
//
// Chunk, at an entry's data offset, repeated until the entry's stored_size is
// used up exactly:
//   u32 n (plain, at most 10 MiB) | n bytes body (enciphered)
// A deciphered body is the file's next n bytes (raw entries) or one complete
// gzip member (compressed entries).
//
// A failed or stopped entry leaves neither a truncated file nor a damaged one
// that the user had, and no temporary file: new files are removed again, and a
// replacement is written under a temporary name and moved over the old file
// only when complete.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "archive/byte_cursor.h"
#include "archive/chunk_decoder.h"
#include "archive/container_format.h"
#include "archive/entry_name.h"
#include "archive/extract_pipeline.h"
#include "archive/random_tag.h"
#include "archive/stage_times.h"
#include "archive/unzipper.h"
#include "i18n/translate.h"

namespace kestrum {

static std::string TooLong(const ArchiveEntry& e) {
  return e.name + ": the data holds more than the " + std::to_string(e.size) +
         " bytes the file table says";
}

class ExtractRun {
 public:
  ExtractRun(UnZipper& archive, ChunkQueue& queue, StageTimes& times)
      : a_(archive), files_(archive.platform_.Files()), queue_(queue), times_(times) {}

  // The writing half: runs on its own thread until kFinish. An exception
  // fails the run and drops the entry, and the loop goes on taking jobs so
  // that the decoding half never waits for a buffer that is not given back.
  void WriteAll(bool make_folders) {
    if (make_folders) {
      try {
        a_.CreateEntryFolders();
      } catch (const std::exception& e) {
        Fail(Failed(e));
      }
    }
    for (;;) {
      const PipelineJob job = Pop();
      if (job.kind == PipelineJob::kFinish) {
        Abandon();
        return;
      }
      bool released = false;
      try {
        Handle(job, released);
      } catch (const std::exception& e) {
        Fail(Failed(e));
        Abandon();
        if (job.buffer && !released) queue_.Release(job.buffer);
      }
    }
  }

  static std::string Failed(const std::exception& e) {
    return dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory"
                                                   : std::string("failed: ") + e.what();
  }

  PipelineJob Pop() {
    StageTimes::Probe probe(times_, StageTimes::kWaitJob);
    return queue_.Pop();
  }

  bool ok() const { return !failed_.load(std::memory_order_acquire); }
  bool running() const { return a_.running.load(std::memory_order_acquire) != 0; }

  void Fail(const std::string& detail) {
    if (failed_.exchange(true)) return;
    a_.FailRun(detail);
  }

 private:
  void Handle(const PipelineJob& job, bool& released) {
    switch (job.kind) {
      case PipelineJob::kBeginEntry:
        // Nothing is done for an entry once the run is stopped: no check,
        // no question, no file.
        if (ok() && running()) Begin(job.entry);
        break;
      case PipelineJob::kOutput:
        if (ok() && running()) {
          Output(job.buffer->data.get(), job.buffer->length);
          if (job.ends_chunk) ChunkDone();
        }
        released = true;
        queue_.Release(job.buffer);
        break;
      case PipelineJob::kPacked:
        if (ok() && running()) Inflate(job.buffer);
        released = true;
        queue_.Release(job.buffer);
        break;
      case PipelineJob::kEndEntry:
        if (ok() && running()) End();
        Abandon();  // nothing left after End; a stopped entry is dropped
        break;
      case PipelineJob::kFail:
        // In order: the entries before the damage have been written.
        Fail(job.detail);
        Abandon();
        break;
      case PipelineJob::kFinish:
        break;
    }
  }

  // The entry's path below the destination, with this system's separators.
  std::string Relative(const std::string& name) const {
    std::string relative = name;
    for (char& c : relative)
      if (c == '\\' || c == '/') c = files_.Separator();
    return relative;
  }

  static std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  }

  // Asks until the answer is usable: a new name must stay in the same folder,
  // be a safe name, and name nothing that exists, in a folder that does. A
  // refused name is asked about again, with the reason.
  bool DecideExisting(std::string& relative) {
    std::string refused;
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (!running()) return false;
      const std::string path = a_.destination + relative;
      const OverwriteAnswer answer = a_.platform_.AskOverwrite(path, refused);
      if (!running()) return false;  // stopped while the question was open
      switch (answer.choice) {
        case OverwriteChoice::kReplace:
          replace_ = true;
          return true;
        case OverwriteChoice::kSkip:
          skip_ = true;
          return true;
        case OverwriteChoice::kAbort:
          Fail(path + " exists already");
          return false;
        case OverwriteChoice::kNewPath: {
          refused = RefuseNewPath(path, answer.new_path);
          if (!refused.empty()) continue;
          relative = answer.new_path.substr(a_.destination.size());
          return true;
        }
      }
    }
    Fail(a_.destination + relative + " exists already");
    return false;
  }

  // Why `wanted` cannot replace `path` as the output's name; empty when it can.
  std::string RefuseNewPath(const std::string& path, const std::string& wanted) {
    const std::string folder = FolderOf(path);
    if (wanted.compare(0, folder.size(), folder) != 0 || wanted.size() == folder.size())
      return t_("The new name must stay in the same folder.");
    if (!UnsafeNameReason(wanted.substr(folder.size())).empty())
      return t_("The new name is not a safe file name.");
    switch (files_.LookIn(a_.destination, wanted.substr(a_.destination.size()))) {
      case PathKind::kNothing:
        return {};
      case PathKind::kFile:
        return t_("A file of that name exists too.");
      case PathKind::kFolder:
        return t_("A folder of that name exists.");
      case PathKind::kNoFolder:
        return t_("The folder of the new name does not exist.");
      case PathKind::kOther:
      case PathKind::kBlocked:
        break;
    }
    return t_("The new name cannot be written.");
  }

  void Begin(size_t index) {
    ArchiveEntry& e = a_.entries[index];
    {
      std::unique_lock<std::shared_mutex> hold(a_.lock);
      a_.current_name = e.name;
      e.written = 0;
    }
    entry_ = &e;
    produced_ = 0;
    chunk_ = 0;
    replace_ = skip_ = false;
    if (a_.test_only) return;
    relative_ = Relative(e.name);
    if (IsFolderName(e.name)) {
      // An empty folder stored as its own entry: made, and done.
      std::string why;
      if (!files_.CreateFoldersIn(a_.destination, relative_, why))
        Fail("cannot create the folder " + a_.destination + relative_ + ": " + why);
      return;
    }
    // Nothing stands at the name in the common case: the exclusive creation
    // is tried first, and only when it fails is the name looked at (each look
    // costs a path lookup, a slow one under Wine).
    std::string why;
    {
      StageTimes::Probe probe(times_, StageTimes::kCreateClose);
      out_ = files_.CreateNewIn(a_.destination, relative_, why);
    }
    if (out_) {
      temp_relative_ = relative_;
      return;
    }
    long long existing_size = -1;
    if (files_.LookIn(a_.destination, relative_, &existing_size) != PathKind::kFile)
      return Fail("cannot create " + a_.destination + relative_ + ": " + why);
    // An empty file over an empty file loses nothing: no need to ask.
    const bool trivial = e.size == 0 && existing_size == 0;
    if (trivial)
      replace_ = true;
    else if (!DecideExisting(relative_))
      return;
    if (skip_) return;
    // A new file is written under its own name, created exclusively (and
    // removed again if the entry fails); a file that replaces one of the
    // user's is written beside it and moved over it only when complete.
    temp_relative_ =
        replace_ ? FolderOf(relative_) + ".kestrum-" + RandomTag() + ".part" : relative_;
    StageTimes::Probe probe(times_, StageTimes::kCreateClose);
    out_ = files_.CreateNewIn(a_.destination, temp_relative_, why);
    if (!out_) {
      temp_relative_.clear();
      Fail("cannot create " + a_.destination + relative_ + ": " + why);
    }
  }

  void Output(const uint8_t* data, size_t n) {
    if (skip_ || !ok()) return;
    // An entry never gets more than its stated size: a member that inflates
    // far beyond what the table says must not fill the disk first.
    if (n > entry_->size - produced_) return Fail(TooLong(*entry_));
    if (out_) {
      StageTimes::Probe probe(times_, StageTimes::kWrite);
      if (!out_->Write(data, n))
        return Fail("cannot write " + a_.destination + relative_ + " (disk full?)");
    }
    produced_ += n;
    std::unique_lock<std::shared_mutex> hold(a_.lock);
    entry_->written = produced_;
  }

  void ChunkDone() {
    if (a_.on_chunk_written) a_.on_chunk_written(size_t(entry_ - a_.entries.data()), chunk_++);
  }

  // A member handed over by the decoding half.
  void Inflate(ChunkBuffer* b) {
    if (skip_) return;
    const uint8_t* in = b->data.get();
    const size_t stated = GzipMemberDecoder::StatedSize(in, b->length);
    if (inflated_capacity_ < std::max<size_t>(stated, 1)) {
      inflated_.reset();
      inflated_capacity_ = std::max<size_t>(stated, 1);
      inflated_.reset(new uint8_t[inflated_capacity_]);
    }
    size_t produced = 0;
    GzipMemberDecoder::Result result;
    {
      StageTimes::Probe probe(times_, StageTimes::kInflateWriter);
      result = inflater_.DecodeInto(in, b->length, inflated_.get(), stated, &produced);
    }
    if (result == GzipMemberDecoder::Result::kDamaged)
      return Fail(entry_->name + ": " + GzipMemberDecoder::kDamagedText);
    if (result == GzipMemberDecoder::Result::kOk) {
      Output(inflated_.get(), produced);
    } else {
      // Larger than it states: straight into the file, piece by piece.
      const std::string error =
          inflater_.DecodeStreaming(in, b->length, [&](const uint8_t* d, size_t k) {
            Output(d, k);
            return ok();
          });
      if (!error.empty() && ok()) return Fail(entry_->name + ": " + error);
    }
    if (ok()) ChunkDone();
  }

  void End() {
    ArchiveEntry& e = *entry_;
    if (skip_) return;
    if (produced_ != e.size)
      return Fail(e.name + ": the data holds " + std::to_string(produced_) +
                  " bytes, the file table says " + std::to_string(e.size));
    if (out_) {
      StageTimes::Probe probe(times_, StageTimes::kCreateClose);
      const bool closed = out_->Close();
      out_.reset();
      if (!closed) return Fail("cannot write " + a_.destination + relative_ + " (disk full?)");
      if (temp_relative_ != relative_ &&
          !files_.MoveIn(a_.destination, temp_relative_, relative_, replace_))
        return Fail("cannot create " + a_.destination + relative_);
      temp_relative_.clear();
    }
    std::unique_lock<std::shared_mutex> hold(a_.lock);
    a_.done_total += e.size;
    e.done = true;
  }

  // Drops the entry being written, if any: its temporary file goes away.
  void Abandon() {
    out_.reset();
    if (!temp_relative_.empty()) files_.RemoveIn(a_.destination, temp_relative_);
    temp_relative_.clear();
  }

  UnZipper& a_;
  FileSystem& files_;
  ChunkQueue& queue_;
  StageTimes& times_;
  std::atomic<bool> failed_{false};
  GzipMemberDecoder inflater_;
  std::unique_ptr<uint8_t[]> inflated_;
  size_t inflated_capacity_ = 0;
  ArchiveEntry* entry_ = nullptr;
  std::string relative_, temp_relative_;  // below the destination
  std::unique_ptr<OutputFile> out_;
  uint64_t produced_ = 0;
  int chunk_ = 0;
  bool replace_ = false, skip_ = false;
};

void UnZipper::ExtractFrom(const std::string& path) {
  state.store(ST_EXTRACTING);
  run_finished_.store(false);
  {
    std::unique_lock<std::shared_mutex> hold(lock);
    extract_error_.clear();
  }
  const std::string source_path = path.empty() ? archive_path_ : path;
  std::unique_ptr<FileStream> source = FileStream::Open(source_path);
  if (!source) {
    FailRun("cannot open " + source_path);
    platform_.ShowExtractFailure(extract_error());
    running.store(0, std::memory_order_release);
    return;
  }
  ByteCursor in(*source);
  KeystreamCipher cipher(header.key_block);
  ChunkQueue queue;
  StageTimes times;
  ExtractRun run(*this, queue, times);
  const auto acquire = [&](size_t n) {
    StageTimes::Probe probe(times, StageTimes::kWaitBlock);
    return queue.Acquire(n);
  };
  const bool make_folders = folders_pending_;
  folders_pending_ = false;
  std::thread writer([&run, make_folders] { run.WriteAll(make_folders); });

  // Damage found here is queued behind the blocks already decoded, so the
  // entries before it are still written completely.
  bool damaged = false;
  const auto damage = [&](const std::string& detail) {
    queue.Push({PipelineJob::kFail, 0, nullptr, false, detail});
    damaged = true;
  };
  try {
    GzipMemberDecoder inflater;
    for (size_t i = 0; i < entries.size() && !damaged && run.ok() && run.running(); ++i) {
      const ArchiveEntry& e = entries[i];
      queue.Push({PipelineJob::kBeginEntry, i, nullptr});
      if (e.stored_size > 0 && !in.Seek(e.data_offset)) {
        damage(e.name + ": its data lies beyond the end of the archive");
        break;
      }
      uint64_t remaining = e.stored_size;
      uint64_t decoded = 0;  // output of this entry so far; never beyond e.size
      const auto too_long = [&](uint64_t more) {
        if (more <= e.size - decoded) {
          decoded += more;
          return false;
        }
        damage(TooLong(e));
        return true;
      };
      while (remaining > 0 && !damaged && run.ok() && run.running()) {
        const uint32_t n = in.U32();
        if (in.failed()) {
          damage(e.name + ": the archive ends inside its data");
          break;
        }
        if (n > kMaxChunkBody || uint64_t{n} + 4 > remaining) {
          damage(e.name + ": a chunk length (" + std::to_string(n) + ") is impossible");
          break;
        }
        remaining -= uint64_t{n} + 4;
        // Every body is read into a block and deciphered in place.
        ChunkBuffer* body = acquire(n);
        size_t got = 0;
        if (n > 0 && in.Left() >= n) {
          StageTimes::Probe probe(times, StageTimes::kRead);
          got = source->Read(body->data.get(), n);
        }
        if (n > 0 && got != n) {
          queue.Release(body);
          damage(e.name + ": the archive ends inside its data");
          break;
        }
        {
          StageTimes::Probe probe(times, StageTimes::kDecipher);
          cipher.Apply(body->data.get(), n);
        }
        if (e.stored_raw) {
          if (too_long(n)) {
            queue.Release(body);
            break;
          }
          queue.Push({PipelineJob::kOutput, i, body, true});
          continue;
        }
        const size_t stated = GzipMemberDecoder::StatedSize(body->data.get(), n);
        const bool fits = n >= 18 && stated <= GzipMemberDecoder::kFastOutput;
        // The writing half inflates what it would otherwise wait for.
        if (fits && queue.Pending() < 2) {
          queue.Push({PipelineJob::kPacked, i, body, true});
          continue;
        }
        if (fits) {
          ChunkBuffer* block = acquire(std::max<size_t>(stated, 1));
          size_t produced = 0;
          GzipMemberDecoder::Result result;
          {
            StageTimes::Probe probe(times, StageTimes::kInflateDecoder);
            result = inflater.DecodeInto(body->data.get(), n, block->data.get(), stated, &produced);
          }
          if (result == GzipMemberDecoder::Result::kOk) {
            queue.Release(body);
            if (too_long(produced)) {
              queue.Release(block);
              break;
            }
            block->length = produced;
            queue.Push({PipelineJob::kOutput, i, block, true});
            continue;
          }
          queue.Release(block);
          if (result == GzipMemberDecoder::Result::kDamaged) {
            queue.Release(body);
            damage(e.name + ": " + GzipMemberDecoder::kDamagedText);
            break;
          }
        }
        // Larger than a block (or than it claims): stream it in pieces.
        ChunkBuffer* pending = nullptr;
        const std::string error =
            inflater.DecodeStreaming(body->data.get(), n, [&](const uint8_t* d, size_t k) {
              if (too_long(k)) return false;
              if (pending) queue.Push({PipelineJob::kOutput, i, pending, false});
              pending = queue.Acquire(k);
              std::memcpy(pending->data.get(), d, k);
              return run.ok() && run.running();
            });
        queue.Release(body);
        if (!error.empty()) {
          if (pending) queue.Release(pending);
          if (!damaged && run.ok() && run.running()) damage(e.name + ": " + error);
          break;
        }
        if (pending) queue.Push({PipelineJob::kOutput, i, pending, true});
      }
      if (!damaged) queue.Push({PipelineJob::kEndEntry, i, nullptr});
    }
  } catch (const std::exception& e) {
    // Out of memory while decoding, or anything else: the writing half drops
    // the entry it holds and the run fails.
    if (!damaged) damage(ExtractRun::Failed(e));
  }
  queue.Push({PipelineJob::kFinish, 0, nullptr});
  writer.join();
  times.Report();

  if (run.ok()) {
    state.store(ST_DONE);
    run_finished_.store(true);
  } else {
    platform_.ShowExtractFailure(extract_error());
  }
  running.store(0, std::memory_order_release);
}

}  // namespace kestrum
