#include "archive/entry_writer.h"

#include <cstdlib>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "archive/entry_name.h"
#include "archive/random_tag.h"
#include "archive/unzipper.h"
#include "i18n/translate.h"

namespace kestrum {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

EntryWriter::EntryWriter(UnZipper& archive, Platform& platform, ChunkQueue& queue,
                         InflateCrew& crew, StageTimes& times, FailRun fail_run)
    : a_(archive),
      platform_(platform),
      files_(platform.Files()),
      queue_(queue),
      crew_(crew),
      times_(times),
      fail_run_(std::move(fail_run)) {}

bool EntryWriter::running() const {
  return a_.running.load(std::memory_order_acquire) != 0;
}

void EntryWriter::Fail(const std::string& detail) {
  if (failed_.exchange(true)) return;
  fail_run_(detail);
}

void EntryWriter::FailOn(const std::exception& e) noexcept {
  if (failed_.exchange(true)) return;
  try {
    fail_run_(FailureText(e));
  } catch (...) {
    a_.state.store(ST_FAILED);
  }
}

void EntryWriter::WriteAll(const std::function<void()>& before) {
  if (before) {
    try {
      before();
    } catch (const std::exception& e) {
      FailOn(e);
    }
  }
  // KESTRUM_CREATE_AHEAD=0 makes every file here, for comparison.
  const char* ahead_setting = std::getenv("KESTRUM_CREATE_AHEAD");
  const bool ahead_allowed = !ahead_setting || std::string(ahead_setting) != "0";
  if (!a_.test_only && ahead_allowed && files_.CreatesAhead() && ok()) {
    try {
      ahead_ = std::make_unique<AheadCreator>(
          files_, a_.destination, a_.entries.size(), [this](size_t i) {
            const std::string_view name = a_.Name(i);
            return IsFolderName(name) ? std::string() : Relative(name);
          });
      ahead_->Start();
    } catch (const std::exception&) {
      ahead_.reset();  // no thread: every file is made here as usual
    }
  }
  for (;;) {
    PipelineJob job;
    {
      StageTimes::Probe probe(times_, StageTimes::kWaitJob);
      job = queue_.Pop();
    }
    if (job.kind == PipelineJob::kFinish) {
      Abandon();
      ahead_.reset();  // files made ahead and not written go
      return;
    }
    // The job's block goes back to the pool however its handling ends, but
    // only once no helper reads it any more.
    PooledBuffer block(queue_, job.buffer);
    try {
      Handle(job);
    } catch (const std::exception& e) {
      FailOn(e);
      AbandonQuietly();
    }
    if (job.kind == PipelineJob::kPacked) crew_.Finish(job.buffer);
  }
}

void EntryWriter::Handle(const PipelineJob& job) {
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
      break;
    case PipelineJob::kPacked:
      if (ok() && running()) Inflate(*job.buffer);
      break;
    case PipelineJob::kEndEntry:
      if (ok() && running()) End();
      Abandon();  // nothing left after End; a stopped entry is dropped
      break;
    case PipelineJob::kFail:
      // In order: the entries before the damage have been written. No
      // detail: there was no memory left to say more.
      Fail(job.detail.empty() ? std::string("out of memory") : job.detail);
      Abandon();
      break;
    case PipelineJob::kFinish:
      break;
  }
}

// The entry's path below the destination, with this system's separators.
std::string EntryWriter::Relative(std::string_view name) const {
  std::string relative(name);
  for (char& c : relative)
    if (c == '\\' || c == '/') c = files_.Separator();
  return relative;
}

// Asks until the answer is usable: a new name must stay in the same folder,
// be a safe name, and name nothing that exists, in a folder that does. A
// refused name is asked about again, with the reason.
bool EntryWriter::DecideExisting(std::string& relative) {
  std::string refused;
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!running()) return false;
    const std::string path = a_.destination + relative;
    const OverwriteAnswer answer = platform_.AskOverwrite(path, refused);
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
        // The name is checked as a path with either separator; it is
        // created as the same path.
        relative = Relative(answer.new_path.substr(a_.destination.size()));
        return true;
      }
    }
  }
  Fail(a_.destination + relative + " exists already");
  return false;
}

// Why `wanted` cannot replace `path` as the output's name; empty when it can.
std::string EntryWriter::RefuseNewPath(const std::string& path, const std::string& wanted) {
  const std::string folder = FolderOf(path);
  if (wanted.compare(0, folder.size(), folder) != 0 || wanted.size() == folder.size())
    return t_("The new name must stay in the same folder.");
  if (!UnsafeNameReason(wanted.substr(folder.size())).empty())
    return t_("The new name is not a safe file name.");
  switch (files_.LookIn(a_.destination, Relative(wanted.substr(a_.destination.size())))) {
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

void EntryWriter::Begin(size_t index) {
  ArchiveEntry& e = a_.entries[index];
  a_.BeginEntry(index);
  entry_ = &e;
  index_ = index;
  name_ = a_.Name(e);
  produced_ = 0;
  chunk_ = 0;
  replace_ = skip_ = false;
  hashing_ = a_.HasManifest();
  if (hashing_) sha_.Restart();
  if (a_.test_only) return;
  relative_ = Relative(name_);
  if (IsFolderName(name_)) {
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
    if (ahead_) out_ = ahead_->Take(index);
    if (!out_) out_ = files_.CreateNewIn(a_.destination, relative_, why);
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
  temp_relative_ = replace_ ? FolderOf(relative_) + ".kestrum-" + RandomTag() + ".part" : relative_;
  StageTimes::Probe probe(times_, StageTimes::kCreateClose);
  out_ = files_.CreateNewIn(a_.destination, temp_relative_, why);
  if (!out_) {
    temp_relative_.clear();
    Fail("cannot create " + a_.destination + relative_ + ": " + why);
  }
}

void EntryWriter::Output(const uint8_t* data, size_t n) {
  if (skip_ || !ok()) return;
  // An entry never gets more than its stated size: a member that inflates
  // far beyond what the table says must not fill the disk first.
  if (n > entry_->size - produced_) return Fail(TooLongText(name_, entry_->size));
  if (hashing_) {
    StageTimes::Probe probe(times_, StageTimes::kHash);
    sha_.Update(data, n);
  }
  if (out_) {
    StageTimes::Probe probe(times_, StageTimes::kWrite);
    if (!out_->Write(data, n))
      return Fail("cannot write " + a_.destination + relative_ + " (disk full?)");
  }
  produced_ += n;
  a_.SetWritten(produced_);
}

void EntryWriter::ChunkDone() {
  if (a_.on_chunk_written) a_.on_chunk_written(index_, chunk_++);
}

// A member handed over by the decoding half: a helper's output when one
// inflated it, else inflated here.
void EntryWriter::Inflate(ChunkBuffer& member) {
  if (skip_) return;
  if (const InflateCrew::Inflated* done = crew_.Claim(&member, inflater_)) {
    return WriteInflated(member, done->result, done->data, done->length);
  }
  const uint8_t* in = member.data.get();
  const size_t stated = GzipMemberDecoder::StatedSize(in, member.length);
  if (inflated_capacity_ < std::max<size_t>(stated, 1)) {
    inflated_.reset();
    inflated_capacity_ = std::max<size_t>(stated, 1);
    inflated_.reset(new uint8_t[inflated_capacity_]);
  }
  size_t produced = 0;
  GzipMemberDecoder::Result result;
  {
    StageTimes::Probe probe(times_, StageTimes::kInflateWriter);
    result = inflater_.DecodeInto(in, member.length, inflated_.get(), stated, &produced);
  }
  WriteInflated(member, result, inflated_.get(), produced);
}

void EntryWriter::WriteInflated(const ChunkBuffer& member, GzipMemberDecoder::Result result,
                                const uint8_t* data, size_t n) {
  const uint8_t* in = member.data.get();
  if (result == GzipMemberDecoder::Result::kDamaged)
    return Fail(std::string(name_) + ": " + GzipMemberDecoder::kDamagedText);
  if (result == GzipMemberDecoder::Result::kOk) {
    Output(data, n);
  } else {
    // Larger than it states: straight into the file, piece by piece.
    const std::string error =
        inflater_.DecodeStreaming(in, member.length, [&](const uint8_t* d, size_t k) {
          Output(d, k);
          return ok();
        });
    if (!error.empty() && ok()) return Fail(std::string(name_) + ": " + error);
  }
  if (ok()) ChunkDone();
}

void EntryWriter::End() {
  ArchiveEntry& e = *entry_;
  if (skip_) return;
  if (produced_ != e.size)
    return Fail(std::string(name_) + ": the data holds " + std::to_string(produced_) +
                " bytes, the file table says " + std::to_string(e.size));
  if (hashing_) {
    uint8_t digest[kDigestSize];
    sha_.Final(digest);
    if (std::memcmp(digest, a_.ManifestDigest(index_), kDigestSize))
      return Fail(std::string(name_) + ": " + kNotAsInManifestText);
  }
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
  a_.EndEntry(index_);
}

// Abandon on a failure path: when even that runs out of memory, the file is
// closed and left (nothing more can be done without memory).
void EntryWriter::AbandonQuietly() noexcept {
  try {
    Abandon();
  } catch (...) {
    out_.reset();
    temp_relative_.clear();
  }
}

// Drops the entry being written, if any: its temporary file goes away.
void EntryWriter::Abandon() {
  out_.reset();
  if (!temp_relative_.empty()) files_.RemoveIn(a_.destination, temp_relative_);
  temp_relative_.clear();
}

}  // namespace kestrum
