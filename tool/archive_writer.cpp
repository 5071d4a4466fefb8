#include "tool/archive_writer.h"

#include <cryptopp/osrng.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include "archive/byte_stream.h"
#include "archive/container_reader.h"
#include "platform/start_writeback.h"
#include "tool/byte_writer.h"
#include "tool/chunk_encoder.h"
#include "tool/chunk_pipeline.h"
#include "tool/pe_stub.h"
#include "tool/source_tree.h"
#include "tool/system_error.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

constexpr size_t kCopyBuffer = 1 << 20;

// A file being written, with its position and the first error kept.
class OutFile {
 public:
  // `temporary`: read back and removed by this program; never sent to the
  // disk early.
  explicit OutFile(std::string path, bool temporary = false)
      : path_(std::move(path)), temporary_(temporary) {
    file_ = OpenFileUtf8(path_, "w+b");
    if (!file_) error_ = "cannot create " + path_ + ": " + SystemReason(errno);
  }
  ~OutFile() { Close(); }
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  uint64_t pos() const { return pos_; }

  void Write(const void* data, size_t n) {
    if (!ok() || n == 0) return;
    if (std::fwrite(data, 1, n, file_) != n) error_ = "cannot write " + path_;
    pos_ += n;
    if (!temporary_ && pos_ - started_ >= kStartEvery) StartWritingOut();
  }
  void Write(const std::vector<uint8_t>& v) { Write(v.data(), v.size()); }
  // Overwrites bytes written earlier, then returns to the end.
  void Patch(uint64_t at, const void* data, size_t n) {
    if (!ok()) return;
    if (!Seek(at) || std::fwrite(data, 1, n, file_) != n || !Seek(pos_))
      error_ = "cannot write " + path_;
  }
  // Copies `n` bytes from `from` at `offset`.
  void CopyFrom(std::FILE* from, uint64_t offset, uint64_t n) {
    std::vector<uint8_t> buffer(kCopyBuffer);
    if (!SeekStream(from, offset)) error_ = "cannot read the temporary stream";
    while (ok() && n > 0) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(n, buffer.size()));
      if (std::fread(buffer.data(), 1, take, from) != take) {
        error_ = "cannot read the temporary stream";
        return;
      }
      Write(buffer.data(), take);
      n -= take;
    }
  }
  bool Close() {
    if (file_) {
      if (std::fclose(file_) != 0 && ok()) error_ = "cannot write " + path_;
      file_ = nullptr;
    }
    return ok();
  }
  std::FILE* stream() { return file_; }

  static bool SeekStream(std::FILE* f, uint64_t at) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<int64_t>(at), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0;
#endif
  }

 private:
  // The archive's pages go to the disk every 8 MiB while packing goes on
  // (see start_writeback.h; 256 MiB: the sync after packing 0.07 s to 0.005 s).
  static constexpr uint64_t kStartEvery = 8u << 20;
  void StartWritingOut() {
    if (std::fflush(file_) == 0) StartWriteback(fileno(file_), started_, pos_ - started_);
    started_ = pos_;
  }
  bool Seek(uint64_t at) {
    return SeekStream(file_, at);
  }
  std::string path_;
  std::FILE* file_ = nullptr;
  uint64_t pos_ = 0;
  bool temporary_;
  uint64_t started_ = 0;  // bytes whose writing out has been started
  std::string error_;
};

struct WrittenEntry {
  uint64_t record_offset = 0;  // in the stream being written
  uint64_t size = 0;
  uint64_t stored_size = 0;
  std::string name;
};

void PutImage(ByteWriter& w, const Image& image) {
  w.U8(1);  // version 0, stored as version + 1
  w.I32(image.width);
  w.I32(image.height);
  w.I32(image.hot_x);
  w.I32(image.hot_y);
  w.I32(image.spot2_x);
  w.I32(image.spot2_y);
  w.Bytes(image.bgra.data(), image.bgra.size());
}

std::vector<uint8_t> HeaderBytes(const PackOptions& o, uint16_t format, uint32_t archive_id,
                                 const std::vector<uint8_t>& key_block) {
  ByteWriter w;
  w.U16(format);
  w.U16(0);
  w.U32(archive_id);
  w.U32(o.language);
  w.U32(0);
  w.U32(0);
  w.U32(static_cast<uint32_t>(key_block.size()));
  w.Bytes(key_block.data(), key_block.size());
  w.String(o.description);
  w.U32(0);  // no text records
  const uint32_t flags =
      (o.icon.empty() ? 0u : uint32_t{kHasIcon}) | (o.banner.empty() ? 0u : uint32_t{kHasBanner});
  w.U32(flags);
  if (flags & kHasIcon) PutImage(w, o.icon);
  if (flags & kHasBanner) PutImage(w, o.banner);
  return w.bytes();
}

void Stamp(std::vector<uint8_t>& stub, uint32_t header_offset, uint32_t table_offset,
           uint32_t volume_count, uint64_t directory_offset) {
  ByteWriter w;
  w.U32(header_offset);
  w.U32(table_offset);
  w.Bytes(kStampMarker, sizeof kStampMarker);
  w.U32(volume_count);
  w.U64(directory_offset);
  std::memcpy(stub.data() + kStampOffset, w.bytes().data(), kStampSize);
}

std::vector<uint8_t> TableHead(const std::string& name, size_t count) {
  ByteWriter w;
  w.String(name);
  w.U32(static_cast<uint32_t>(count));
  return w.bytes();
}

// Writes every file as a record followed by its chunks, which come
// compressed from the pipeline in file order and are enciphered here, in that
// order. `form` decides whether the record carries the flag byte.
class EntryStreamWriter {
 public:
  EntryStreamWriter(const PackOptions& o, ChunkPipeline& chunks, ChunkCipher& cipher, OutFile& out,
                    RecordForm form, const PackProgress& progress, uint64_t total)
      : o_(o),
        chunks_(chunks),
        cipher_(cipher),
        out_(out),
        form_(form),
        progress_(progress),
        total_(total) {}

  bool Write(const SourceFile& file, WrittenEntry& entry, std::string& error) {
    entry.record_offset = out_.pos();
    entry.size = file.size;
    entry.name = file.name;
    ByteWriter record;
    if (form_ != RecordForm::kStream) record.U8(o_.raw ? 1 : 0);
    record.U64(file.size);
    const size_t stored_at = record.bytes().size();
    record.U64(0);  // stored size, patched below
    record.String(file.name);
    out_.Write(record.bytes());

    uint64_t stored = 0;
    bool last = file.size == 0;
    while (!last && out_.ok()) {
      ChunkPipeline::Chunk& chunk = chunks_.Next();
      if (!chunk.error.empty()) {
        error = chunk.error;
        return false;
      }
      last = chunk.last;
      std::vector<uint8_t>& body = chunk.body;
      if (body.size() > kMaxChunkBody) {
        error = file.path + ": a chunk grew beyond 10 MiB; use a smaller --chunk-size";
        return false;
      }
      cipher_.Encipher(body.data(), body.size());
      ByteWriter prefix;
      prefix.U32(static_cast<uint32_t>(body.size()));
      out_.Write(prefix.bytes());
      out_.Write(body);
      stored += 4 + body.size();
      if (stored > kMaxStoredSize) {
        error = file.path + ": too large; an entry may occupy at most 2 GiB in the archive";
        return false;
      }
      done_ += chunk.input_size;
      if (progress_) progress_(done_, total_, file.name);
    }
    entry.stored_size = stored;
    ByteWriter patch;
    patch.U64(stored);
    out_.Patch(entry.record_offset + stored_at, patch.bytes().data(), 8);
    if (!out_.ok()) {
      error = out_.error();
      return false;
    }
    return true;
  }

 private:
  const PackOptions& o_;
  ChunkPipeline& chunks_;
  ChunkCipher& cipher_;
  OutFile& out_;
  RecordForm form_;
  const PackProgress& progress_;
  uint64_t total_;
  uint64_t done_ = 0;
};

int ThreadCount(int asked) {
  if (asked > 0) return asked;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores ? int(std::min(cores, 64u)) : 1;
}

std::string PartName(const std::string& path) {
  return path + ".part";
}

bool Commit(const std::vector<std::string>& finals, std::string& error) {
  for (const std::string& path : finals) {
    std::error_code ec;
    fs::rename(fs::u8path(PartName(path)), fs::u8path(path), ec);
    if (ec) {
      error = "cannot rename " + PartName(path) + " to " + path + ": " + ec.message();
      return false;
    }
  }
  return true;
}

void RemoveParts(const std::vector<std::string>& finals) {
  for (const std::string& path : finals) {
    std::error_code ec;
    fs::remove(fs::u8path(PartName(path)), ec);
  }
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  return fs::weakly_canonical(fs::u8path(path), ec).u8string();
}

}  // namespace

bool PackArchive(const PackOptions& o, const PackProgress& progress, PackSummary& summary,
                 std::string& error) {
  error.clear();
  if (o.chunk_size == 0 || o.chunk_size > (o.raw ? kMaxChunkBody : kMaxGzipChunkInput)) {
    error = "the chunk size must be between 1 and " +
            std::to_string(o.raw ? kMaxChunkBody : kMaxGzipChunkInput) + " bytes";
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
  PeStub stub;
  if (!o.stub_bytes.empty()) {
    stub.bytes = o.stub_bytes;
    if (!CheckPeStub(stub.bytes, error)) return false;
  } else if (!LoadPeStub(o.stub_path, stub, error)) {
    return false;
  }

  // Leave the archive itself out when it is written inside the folder.
  std::set<std::string> exclude{Canonical(o.output), Canonical(PartName(o.output)),
                                Canonical(PartName(o.output + ".stream"))};
  std::vector<SourceFile> files;
  if (!CollectSourceFiles(o.source_dir, exclude, files, error)) return false;
  uint64_t total = 0;
  for (const SourceFile& f : files) total += f.size;
  if (files.size() > 0xFFFFFFFFu) {
    error = "too many files";
    return false;
  }

  std::string name = o.name;
  if (name.empty()) name = fs::u8path(o.source_dir).lexically_normal().filename().u8string();
  if (name.empty()) name = fs::weakly_canonical(fs::u8path(o.source_dir)).filename().u8string();

  // Key block and archive id from the system's cryptographic random source.
  std::vector<uint8_t> key_block(kKeyBlockSize);
  uint32_t archive_id = 0;
  CryptoPP::OS_GenerateRandomBlock(false, key_block.data(), key_block.size());
  while (archive_id == 0)
    CryptoPP::OS_GenerateRandomBlock(false, reinterpret_cast<uint8_t*>(&archive_id), 4);
  ChunkCipher cipher(key_block.data(), key_block.data() + 32);
  ChunkPipeline chunks(files, o.chunk_size, o.raw ? -1 : o.level, ThreadCount(o.threads));

  const uint64_t header_offset = stub.bytes.size();
  const std::vector<uint8_t> header = HeaderBytes(o, 1, archive_id, key_block);
  const uint64_t table_offset = header_offset + header.size();
  if (table_offset > 0x7FFFFFFF) {
    error = "the stub and header are too large";
    return false;
  }
  const std::vector<uint8_t> head = TableHead(name, files.size());
  summary.files = files.size();
  summary.input_bytes = total;
  std::vector<WrittenEntry> written(files.size());

  if (!o.split_size) {
    std::vector<std::string> finals{o.output};
    OutFile out(PartName(o.output));
    Stamp(stub.bytes, uint32_t(header_offset), uint32_t(table_offset), 1, 0);
    out.Write(stub.bytes);
    out.Write(header);
    out.Write(head);
    EntryStreamWriter writer(o, chunks, cipher, out, RecordForm::kSingleFile, progress, total);
    for (size_t i = 0; i < files.size() && out.ok(); ++i)
      if (!writer.Write(files[i], written[i], error)) break;
    if (error.empty() && !out.Close()) error = out.error();
    if (!error.empty() || !Commit(finals, error)) {
      RemoveParts(finals);
      return false;
    }
    summary.outputs = finals;
    return true;
  }

  // Split: the record stream goes to a temporary file first; once its length
  // is known it is cut between the executable and the volume files.
  const std::string stream_path = o.output + ".stream";
  std::vector<std::string> temps{stream_path};
  OutFile stream(PartName(stream_path), /*temporary=*/true);
  stream.Write(head);
  EntryStreamWriter writer(o, chunks, cipher, stream, RecordForm::kStream, progress, total);
  for (size_t i = 0; i < files.size() && stream.ok(); ++i)
    if (!writer.Write(files[i], written[i], error)) break;
  if (error.empty() && !stream.ok()) error = stream.error();
  std::fflush(stream.stream());
  const uint64_t stream_length = stream.pos();
  const auto fail = [&](std::vector<std::string> finals) {
    stream.Close();
    RemoveParts(temps);
    RemoveParts(finals);
    return false;
  };
  if (!error.empty()) return fail({});

  ByteWriter directory;
  for (const WrittenEntry& e : written) {
    directory.U8(0);
    directory.U64(e.size);
    directory.U64(e.stored_size);
    directory.String(e.name);
  }
  const uint64_t size = o.split_size;
  const uint64_t fixed = table_offset;
  if (fixed + head.size() + directory.bytes().size() > size || size <= kVolumeHeaderSize) {
    error = "the split size is too small: the executable alone needs " +
            std::to_string(fixed + head.size() + directory.bytes().size() + 1) + " bytes";
    return fail({});
  }

  if (fixed + stream_length + files.size() <= size) {
    // Everything fits into the executable: write an ordinary archive, adding
    // the flag byte (0: compressed) to each stream record.
    std::vector<std::string> finals{o.output};
    OutFile out(PartName(o.output));
    Stamp(stub.bytes, uint32_t(header_offset), uint32_t(table_offset), 1, 0);
    out.Write(stub.bytes);
    out.Write(header);
    out.Write(head);
    for (const WrittenEntry& e : written) {
      const uint8_t flag = 0;
      out.Write(&flag, 1);
      out.CopyFrom(stream.stream(), e.record_offset, 20 + e.name.size() + e.stored_size);
    }
    if (!out.Close()) error = out.error();
    stream.Close();
    RemoveParts(temps);
    if (!error.empty() || !Commit(finals, error)) {
      RemoveParts(finals);
      return false;
    }
    summary.outputs = finals;
    return true;
  }

  const uint64_t in_exe = std::min(stream_length, size - fixed - directory.bytes().size());
  const uint64_t per_volume = size - kVolumeHeaderSize;
  const uint64_t volumes = (stream_length - in_exe + per_volume - 1) / per_volume;
  if (volumes + 1 > kMaxVolumeCount) {
    error = "the split size is too small: it would make more than " +
            std::to_string(kMaxVolumeCount) + " files";
    return fail({});
  }
  const uint32_t volume_count = static_cast<uint32_t>(volumes + 1);
  std::vector<std::string> finals{o.output};
  const std::string base = VolumeBase(o.output);
  for (uint32_t i = 1; i < volume_count; ++i) finals.push_back(VolumeFileName(base, i));

  const std::vector<uint8_t> split_header = HeaderBytes(o, 2, archive_id, key_block);
  const uint64_t directory_offset = table_offset + in_exe;
  Stamp(stub.bytes, uint32_t(header_offset), uint32_t(table_offset), volume_count,
        directory_offset);
  {
    OutFile exe(PartName(o.output));
    exe.Write(stub.bytes);
    exe.Write(split_header);
    exe.CopyFrom(stream.stream(), 0, in_exe);
    exe.Write(directory.bytes());
    if (!exe.Close()) error = exe.error();
  }
  uint64_t at = in_exe;
  for (uint32_t i = 1; i < volume_count && error.empty(); ++i) {
    OutFile volume(PartName(finals[i]));
    ByteWriter vh;
    vh.U32(archive_id);
    vh.U32(i);
    vh.U32(volume_count);
    volume.Write(vh.bytes());
    const uint64_t take = std::min(per_volume, stream_length - at);
    volume.CopyFrom(stream.stream(), at, take);
    at += take;
    if (!volume.Close()) error = volume.error();
  }
  if (!error.empty()) return fail(finals);
  stream.Close();
  RemoveParts(temps);
  if (!Commit(finals, error)) {
    RemoveParts(finals);
    return false;
  }
  summary.outputs = finals;
  summary.volume_count = volume_count;
  return true;
}

}  // namespace kestrum
