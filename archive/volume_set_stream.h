// The record stream of a split archive, read in place from its files.
//
// Joined stream: executable bytes [0, directory_offset), then each volume file
// i = 1 .. volume_count - 1 from offset 12 (after its header) to its end.
// This stream gives exactly those bytes, seeking across the boundaries, so
// offsets into it are those of the joined file; nothing is copied anywhere.
// One file is open at a time: a set of thousands of volumes needs one
// descriptor, and a volume taken away or changed while the run goes on is
// noticed when it is reached, and named.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/byte_stream.h"

namespace kestrum {

class VolumeSetStream : public ByteStream {
 public:
  struct Piece {
    std::string path;     // for messages
    uint64_t skip = 0;    // bytes of the file before the piece
    uint64_t length = 0;  // bytes of the piece
  };
  // Opens file `index` of the pieces again (checked as at the start), or nullptr.
  using Opener = std::function<std::unique_ptr<FileStream>(size_t index)>;

  VolumeSetStream(std::vector<Piece> pieces, Opener open);

  size_t Read(void* out, size_t n) override;
  bool Seek(uint64_t pos) override;
  uint64_t Tell() const override { return pos_; }
  uint64_t Length() const override { return length_; }
  // Why the last short read was short (a file missing or changed), naming it.
  std::string Problem() const override { return problem_; }

 private:
  bool Enter(size_t index);

  std::vector<Piece> pieces_;
  std::vector<uint64_t> starts_;  // each piece's offset in the stream
  Opener open_;
  uint64_t length_ = 0;
  uint64_t pos_ = 0;
  size_t current_ = SIZE_MAX;  // the piece whose file is open
  std::unique_ptr<FileStream> file_;
  std::string problem_;
};

}  // namespace kestrum
