#include "tool/archive_writer.h"

#include <cryptopp/osrng.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include "archive/byte_stream.h"
#include "archive/container_reader.h"
#include "archive/container_writer.h"
#include "archive/manifest.h"
#include "archive/platform.h"
#include "archive/unzipper.h"
#include "platform/native_file_system.h"
#include "tool/chunk_encoder.h"
#include "tool/chunk_pipeline.h"
#include "tool/out_file.h"
#include "tool/part_files.h"
#include "tool/pe_stub.h"
#include "tool/reproducible_key.h"
#include "tool/source_tree.h"
#include "tool/volume_plan.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

// What every layout writes the same way: the stub, the header, the table's
// head, and the files whose records follow.
struct PackJob {
  PeStub stub;
  std::vector<SourceFile> files;
  uint64_t total = 0;
  HeaderRecord header;
  std::vector<uint8_t> table_head;
  uint64_t header_offset = 0;
  uint64_t table_offset = 0;
};

bool CheckOptions(const PackOptions& o, std::string& error) {
  const uint32_t max_chunk = o.raw ? kMaxChunkBody : kMaxGzipChunkInput;
  if (o.chunk_size == 0 || o.chunk_size > max_chunk) {
    error = "the chunk size must be between 1 and " + std::to_string(max_chunk) + " bytes";
    return false;
  }
  if (o.level < 0 || o.level > kMaxLevel) {
    error = "the compression level must be between 0 and " + std::to_string(kMaxLevel);
    return false;
  }
  if (o.raw && o.split_size) {
    error = "--raw cannot be combined with --split: split archives store every file compressed";
    return false;
  }
  return true;
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  return fs::weakly_canonical(fs::u8path(path), ec).u8string();
}

std::string ArchiveName(const PackOptions& o) {
  if (!o.name.empty()) return o.name;
  std::string name = fs::u8path(o.source_dir).lexically_normal().filename().u8string();
  if (name.empty()) name = fs::weakly_canonical(fs::u8path(o.source_dir)).filename().u8string();
  return name;
}

// Leaves out every file this run writes or replaces when the output lies
// inside the packed folder: the executable and, when split, any volume of
// it (OUT.001, OUT.002, ..., left from an earlier run or not). Names are
// compared first, so only a likely match costs a canonical path.
LeaveOut OwnOutputs(const PackOptions& o) {
  const std::string output = Canonical(o.output);
  const fs::path output_path = fs::u8path(output);
  const std::string output_name = output_path.filename().u8string();
  const std::string output_folder = output_path.parent_path().u8string();
  const std::string volume_prefix = fs::u8path(VolumeBase(output)).filename().u8string() + ".";
  const bool split = o.split_size != 0;
  return [=](const fs::path& path) {
    const std::string name = path.filename().u8string();
    if (name == output_name && Canonical(path.u8string()) == output) return true;
    return split && name.size() >= volume_prefix.size() + 3 &&
           name.compare(0, volume_prefix.size(), volume_prefix) == 0 &&
           name.find_first_not_of("0123456789", volume_prefix.size()) == std::string::npos &&
           Canonical(path.parent_path().u8string()) == output_folder;
  };
}

// The reader's ceilings, applied before anything is written, so that no
// archive is made that the reader would refuse.
bool CheckCeilings(const PackOptions& o, const std::vector<SourceFile>& files, std::string& error) {
  if (files.size() > kMaxEntries) {
    error = std::to_string(files.size()) + " files; an archive holds at most " +
            std::to_string(kMaxEntries);
    return false;
  }
  uint64_t name_bytes = 0;
  for (const SourceFile& f : files) name_bytes += f.name.size();
  if (name_bytes > kMaxNameBytes) {
    error = "the file names take " + std::to_string(name_bytes) +
            " bytes together; an archive holds at most " + std::to_string(kMaxNameBytes);
    return false;
  }
  if (ArchiveName(o).size() > kMaxArchiveName) {
    error = "the archive name is longer than " + std::to_string(kMaxArchiveName) + " bytes";
    return false;
  }
  if (o.manifest && ManifestRecordSize(files.size()) > kMaxTextRecordBytes) {
    error = std::to_string(files.size()) + " files are too many for a manifest (at most " +
            std::to_string((kMaxTextRecordBytes - ManifestRecordSize(0)) / kDigestSize) +
            "); use --no-manifest";
    return false;
  }
  if (o.description.size() > kMaxDescription) {
    error = "the description is longer than " + std::to_string(kMaxDescription) + " bytes";
    return false;
  }
  for (const auto& [image, what] : {std::pair{&o.icon, "icon"}, std::pair{&o.banner, "banner"}}) {
    const uint64_t bytes = uint64_t(image->width) * uint64_t(image->height) * 4;
    if (image->width > kMaxImageSide || image->height > kMaxImageSide || bytes > kMaxImageBytes) {
      error = std::string("the ") + what + " is too large (" + std::to_string(image->width) + "x" +
              std::to_string(image->height) + "); it may hold at most " +
              std::to_string(kMaxImageBytes / 4) + " pixels";
      return false;
    }
  }
  return true;
}

// Reads the executable just written back with the reader's own Load, so
// that nothing the reader refuses is ever called done.
class SilentPlatform : public Platform {
 public:
  std::string ExecutablePath() override { return {}; }
  void ShowMessage(const std::string&, const std::string&) override {}
  OverwriteAnswer AskOverwrite(const std::string&, const std::string&) override { return {}; }
  FileSystem& Files() override { return NativeFileSystem(); }
};

bool ReadBack(const std::string& written, const std::string& output, std::string& error) {
  std::unique_ptr<FileStream> file = FileStream::Open(written);
  SilentPlatform platform;
  UnZipper reader(platform);
  if (file && reader.LoadFrom(*file, output) == ST_DONE) return true;
  error = output + ": the archive written cannot be read back" +
          (file ? ": " + reader.load_error().message : "");
  return false;
}

// The stub, the files, a fresh key block and archive id, and the header.
bool PrepareJob(const PackOptions& o, PackJob& job, std::string& error) {
  if (!o.stub_bytes.empty()) {
    job.stub.bytes = o.stub_bytes;
    if (!CheckPeStub(job.stub.bytes, error)) return false;
  } else if (!LoadPeStub(o.stub_path, job.stub, error)) {
    return false;
  }

  if (!CollectSourceFiles(o.source_dir, OwnOutputs(o), job.files, error)) return false;
  for (const SourceFile& f : job.files) job.total += f.size;
  if (!CheckCeilings(o, job.files, error)) return false;

  // Key block and archive id from the system's cryptographic random source,
  // or from what is packed when the archive is to be reproducible.
  HeaderRecord& h = job.header;
  h.format = o.split_size ? kFormatSplit : kFormatSingleFile;
  if (o.reproducible) {
    if (!DeriveKeyAndId(o, ArchiveName(o), job.stub.bytes, job.files, h.key_block, h.archive_id,
                        error))
      return false;
  } else {
    h.key_block.resize(kKeyBlockSize);
    CryptoPP::OS_GenerateRandomBlock(false, h.key_block.data(), h.key_block.size());
    while (h.archive_id == 0)
      CryptoPP::OS_GenerateRandomBlock(false, reinterpret_cast<uint8_t*>(&h.archive_id), 4);
  }
  h.language = o.language;
  h.description = o.description;
  h.icon = o.icon;
  h.banner = o.banner;
  // Room for the manifest, filled in once every file has been read.
  if (o.manifest)
    h.text_records.Add(ManifestRecord(std::vector<uint8_t>(job.files.size() * kDigestSize)));

  job.header_offset = job.stub.bytes.size();
  job.table_offset = job.header_offset + HeaderBytes(h).size();
  if (job.table_offset > 0x7FFFFFFF) {
    error = "the stub and header are too large";
    return false;
  }
  job.table_head = TableHeadBytes(ArchiveName(o), static_cast<uint32_t>(job.files.size()));
  return true;
}

// The manifest's digests into the header's room for them.
void FillManifest(const PackOptions& o, PackJob& job, const std::vector<uint8_t>& digests) {
  if (!o.manifest) return;
  job.header.text_records.clear();
  job.header.text_records.Add(ManifestRecord(digests));
}

// Stamps the stub and writes it with the header in the given format.
void WriteStubAndHeader(PackJob& job, uint16_t format, uint32_t volume_count,
                        uint64_t directory_offset, OutFile& out) {
  SfxStamp stamp;
  stamp.header_offset = static_cast<uint32_t>(job.header_offset);
  stamp.table_offset_raw = static_cast<uint32_t>(job.table_offset);
  std::copy(std::begin(kStampMarker), std::end(kStampMarker), stamp.marker);
  stamp.volume_count = volume_count;
  stamp.directory_offset = directory_offset;
  PutStamp(job.stub.bytes, stamp);
  out.Write(job.stub.bytes);
  job.header.format = format;
  out.Write(HeaderBytes(job.header));
}

// Writes every file as a record followed by its chunks, which come
// compressed from the pipeline in file order and are enciphered here, in that
// order. `form` decides whether the record carries the flag byte.
class EntryStreamWriter {
 public:
  EntryStreamWriter(const PackOptions& o, const PackJob& job, ChunkPipeline& chunks,
                    ChunkCipher& cipher, OutFile& out, RecordForm form,
                    const PackProgress& progress, std::vector<std::string>& grown)
      : o_(o),
        job_(job),
        chunks_(chunks),
        cipher_(cipher),
        out_(out),
        form_(form),
        progress_(progress),
        grown_(grown) {}

  // Writes every file; `written` gets each one's record, its stored size
  // filled in, and where the record starts in `out`.
  // The SHA-256 of each file's content, in file order, as it was read.
  std::vector<uint8_t> digests;

  bool WriteAll(std::vector<EntryRecord>& written, std::vector<uint64_t>& offsets,
                std::string& error) {
    written.resize(job_.files.size());
    offsets.resize(job_.files.size());
    for (size_t i = 0; i < job_.files.size(); ++i)
      if (!Write(job_.files[i], written[i], offsets[i], error)) return false;
    return true;
  }

 private:
  bool Write(const SourceFile& file, EntryRecord& entry, uint64_t& offset, std::string& error) {
    offset = out_.pos();
    entry.stored_raw = o_.raw;
    entry.size = file.size;
    entry.name = file.name;
    ByteWriter record;
    PutEntry(record, form_, entry);  // stored size 0, patched below
    out_.Write(record.bytes());

    uint64_t stored = 0;
    bool last = file.size == 0;
    if (last) {
      uint8_t empty[kDigestSize];
      Sha256(nullptr, 0, empty);
      digests.insert(digests.end(), empty, empty + kDigestSize);
    }
    while (!last && out_.ok()) {
      ChunkPipeline::Chunk& chunk = chunks_.Next();
      if (!chunk.error.empty()) {
        error = chunk.error;
        return false;
      }
      last = chunk.last;
      if (chunk.grew) grown_.push_back(file.path);
      if (last) digests.insert(digests.end(), chunk.digest, chunk.digest + kDigestSize);
      std::vector<uint8_t>& body = chunk.body;
      if (body.size() > kMaxChunkBody) {
        error = file.path + ": a chunk grew beyond 10 MiB; use a smaller --chunk-size";
        return false;
      }
      cipher_.Encipher(body.data(), body.size());
      ByteWriter length;
      PutChunkLength(length, static_cast<uint32_t>(body.size()));
      out_.Write(length.bytes());
      out_.Write(body);
      stored += kChunkLengthSize + body.size();
      done_ += chunk.input_size;
      if (progress_ && !progress_(done_, job_.total, file.name)) {
        error = kPackStopped;
        return false;
      }
    }
    entry.stored_size = stored;
    ByteWriter patch;
    patch.U64(stored);
    out_.Patch(offset + StoredSizeAt(form_), patch.bytes().data(), 8);
    if (!out_.ok()) {
      error = out_.error();
      return false;
    }
    return true;
  }

  const PackOptions& o_;
  const PackJob& job_;
  ChunkPipeline& chunks_;
  ChunkCipher& cipher_;
  OutFile& out_;
  RecordForm form_;
  const PackProgress& progress_;
  std::vector<std::string>& grown_;
  uint64_t done_ = 0;
};

int ThreadCount(int asked) {
  if (asked > 0) return asked;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores ? int(std::min(cores, 64u)) : 1;
}

// One executable: stub, header, table head, then each record with its chunks.
bool WriteSingleFile(const PackOptions& o, PackJob& job, ChunkPipeline& chunks, ChunkCipher& cipher,
                     const PackProgress& progress, PartFiles& parts, PackSummary& summary,
                     std::string& error) {
  OutFile out = parts.AddOutput(o.output);
  WriteStubAndHeader(job, kFormatSingleFile, 1, 0, out);
  out.Write(job.table_head);
  EntryStreamWriter writer(o, job, chunks, cipher, out, RecordForm::kSingleFile, progress,
                           summary.grown);
  std::vector<EntryRecord> written;
  std::vector<uint64_t> offsets;
  if (!writer.WriteAll(written, offsets, error)) return false;
  FillManifest(o, job, writer.digests);
  const std::vector<uint8_t> header = HeaderBytes(job.header);  // the same size as before
  out.Patch(job.header_offset, header.data(), header.size());
  if (!out.Close()) {
    error = out.error();
    return false;
  }
  return true;
}

// The stream's records as an ordinary file table: each record gains its flag
// byte (0: compressed).
bool WriteJoined(const PackOptions& o, PackJob& job, OutFile& stream,
                 const std::vector<EntryRecord>& written, const std::vector<uint64_t>& offsets,
                 PartFiles& parts, std::string& error) {
  OutFile out = parts.AddOutput(o.output);
  WriteStubAndHeader(job, kFormatSingleFile, 1, 0, out);
  out.Write(job.table_head);
  for (size_t i = 0; i < written.size(); ++i) {
    const uint8_t flag = 0;
    out.Write(&flag, 1);
    out.CopyFrom(stream, offsets[i],
                 RecordBytes(RecordForm::kStream, written[i].name.size()) + written[i].stored_size);
  }
  if (!out.Close()) {
    error = out.error();
    return false;
  }
  return true;
}

// The executable ends with the stream's first bytes and the directory; each
// volume holds a volume header and the stream's next bytes.
bool WriteVolumes(const PackOptions& o, PackJob& job, OutFile& stream, uint64_t stream_length,
                  const std::vector<uint8_t>& directory, const VolumePlan& plan, PartFiles& parts,
                  std::string& error) {
  {
    OutFile exe = parts.AddOutput(o.output);
    WriteStubAndHeader(job, kFormatSplit, plan.volume_count, job.table_offset + plan.in_executable,
                       exe);
    exe.CopyFrom(stream, 0, plan.in_executable);
    exe.Write(directory);
    if (!exe.Close()) {
      error = exe.error();
      return false;
    }
  }
  const std::string base = VolumeBase(o.output);
  uint64_t at = plan.in_executable;
  for (uint32_t i = 1; i < plan.volume_count; ++i) {
    OutFile volume = parts.AddOutput(VolumeFileName(base, i));
    volume.Write(VolumeHeaderBytes({job.header.archive_id, i, plan.volume_count}));
    const uint64_t take = std::min(plan.per_volume, stream_length - at);
    volume.CopyFrom(stream, at, take);
    at += take;
    if (!volume.Close()) {
      error = volume.error();
      return false;
    }
  }
  return true;
}

// The record stream goes to a temporary file first; once its length is known
// it is cut between the executable and the volume files.
bool WriteSplit(const PackOptions& o, PackJob& job, ChunkPipeline& chunks, ChunkCipher& cipher,
                const PackProgress& progress, PartFiles& parts, PackSummary& summary,
                std::string& error) {
  OutFile stream = parts.AddTemporary(o.output + ".stream");
  stream.Write(job.table_head);
  EntryStreamWriter writer(o, job, chunks, cipher, stream, RecordForm::kStream, progress,
                           summary.grown);
  std::vector<EntryRecord> written;
  std::vector<uint64_t> offsets;
  if (!writer.WriteAll(written, offsets, error)) return false;
  FillManifest(o, job, writer.digests);
  if (!stream.ok()) {
    error = stream.error();
    return false;
  }

  ByteWriter directory;
  for (const EntryRecord& e : written) PutEntry(directory, RecordForm::kDirectory, e);
  SplitSizes sizes;
  sizes.split_size = o.split_size;
  sizes.before_table = job.table_offset;
  sizes.table_head = job.table_head.size();
  sizes.directory = directory.bytes().size();
  sizes.stream = stream.pos();
  sizes.entries = written.size();
  VolumePlan plan;
  if (!PlanVolumes(sizes, plan, error)) return false;
  if (plan.single_file) return WriteJoined(o, job, stream, written, offsets, parts, error);
  summary.volume_count = plan.volume_count;
  return WriteVolumes(o, job, stream, sizes.stream, directory.bytes(), plan, parts, error);
}

}  // namespace

bool PackArchive(const PackOptions& o, const PackProgress& progress, PackSummary& summary,
                 std::string& error) {
  error.clear();
  PackJob job;
  if (!CheckOptions(o, error) || !PrepareJob(o, job, error)) return false;
  summary.files = job.files.size();
  summary.input_bytes = job.total;

  const std::vector<uint8_t>& key = job.header.key_block;
  ChunkCipher cipher(key.data() + kKeyOffset, key.data() + kIvOffset);
  ChunkPipeline chunks(job.files, o.chunk_size, o.raw ? -1 : o.level, ThreadCount(o.threads));
  PartFiles parts;
  const bool written =
      o.split_size ? WriteSplit(o, job, chunks, cipher, progress, parts, summary, error)
                   : WriteSingleFile(o, job, chunks, cipher, progress, parts, summary, error);
  if (!written || !ReadBack(parts.TemporaryName(0), o.output, error) || !parts.Commit(error))
    return false;
  summary.outputs = parts.outputs();
  return true;
}

}  // namespace kestrum
