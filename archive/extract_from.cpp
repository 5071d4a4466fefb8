// One extraction run over a container file: every entry's chunks read in file
// order, deciphered with one continuous keystream, inflated unless stored raw,
// and written into the destination. The decoding half runs here, the writing
// half on a second thread, and helpers inflate members on the other cores;
// the queue between them bounds the memory.
#include <thread>
#include <utility>

#include "archive/chunk_source.h"
#include "archive/entry_decoder.h"
#include "archive/entry_writer.h"
#include "archive/extract_pipeline.h"
#include "archive/inflate_crew.h"
#include "archive/stage_times.h"
#include "archive/unzipper.h"

namespace kestrum {

void UnZipper::ExtractFrom(ByteStream& file) {
  state.store(ST_EXTRACTING);
  run_finished_.store(false);
  {
    std::unique_lock<std::shared_mutex> hold(lock);
    extract_error_.clear();
  }

  // The manifest's digests are read from the file being extracted.
  if (!ReadManifest(file)) {
    FailRun("the archive's manifest cannot be read");
    platform_.ShowExtractFailure(extract_error());
    running.store(0, std::memory_order_release);
    return;
  }
  StageTimes times;
  ChunkQueue queue;
  ChunkSource source(file, header.key_block, times);
  InflateCrew crew(InflateCrew::HelpersHere(), times);
  EntryWriter writer(*this, platform_, queue, crew, times,
                     [this](const std::string& detail) { FailRun(detail); });
  std::function<void()> before;
  if (std::exchange(folders_pending_, false)) before = [this] { CreateEntryFolders(); };
  std::thread writing([&writer, &before] { writer.WriteAll(before); });

  // Damage is queued behind the blocks already decoded, so the entries before
  // it are still written completely.
  // Nothing between the start of the writing thread and its join may throw
  // (that would end the program): the failure path allocates nothing, and
  // its text is added only if memory allows.
  std::string damage;
  bool failed = false;
  try {
    EntryDecoder decoder(source, queue, crew, times,
                         [&] { return writer.ok() && writer.running(); });
    for (size_t i = 0; i < entries.size() && !failed && writer.ok() && writer.running(); ++i) {
      damage = decoder.Decode(i, entries[i], Name(i));
      failed = !damage.empty();
    }
  } catch (const std::exception& e) {
    // Out of memory while decoding, or anything else: the writing half drops
    // the entry it holds and the run fails.
    failed = true;
    try {
      damage = FailureText(e);
    } catch (...) {
    }
  }
  queue.Close(failed, std::move(damage));
  writing.join();
  crew.Stop();
  times.Report();

  if (writer.ok()) {
    state.store(ST_DONE);
    run_finished_.store(true);
  } else {
    platform_.ShowExtractFailure(extract_error());
  }
  running.store(0, std::memory_order_release);
}

}  // namespace kestrum
