#include "archive/volume_set_stream.h"

#include <algorithm>

namespace kestrum {

VolumeSetStream::VolumeSetStream(std::vector<Piece> pieces, Opener open)
    : pieces_(std::move(pieces)), open_(std::move(open)) {
  starts_.reserve(pieces_.size());
  for (const Piece& p : pieces_) {
    starts_.push_back(length_);
    length_ += p.length;
  }
}

// Opens the piece's file unless it is open already. A file shorter than at
// the start of the run has changed under it: the run must not go on.
bool VolumeSetStream::Enter(size_t index) {
  if (index == current_) return true;
  file_.reset();
  current_ = SIZE_MAX;
  const Piece& piece = pieces_[index];
  file_ = open_(index);
  if (!file_) {
    problem_ = piece.path + " is missing or belongs to another archive";
    return false;
  }
  if (file_->Length() < piece.skip + piece.length) {
    file_.reset();
    problem_ = piece.path + " changed while it was read";
    return false;
  }
  current_ = index;
  return true;
}

size_t VolumeSetStream::Read(void* out, size_t n) {
  uint8_t* to = static_cast<uint8_t*>(out);
  size_t got = 0;
  while (got < n && pos_ < length_) {
    const size_t index =
        size_t(std::upper_bound(starts_.begin(), starts_.end(), pos_) - starts_.begin()) - 1;
    const Piece& piece = pieces_[index];
    if (!Enter(index)) break;
    const uint64_t within = pos_ - starts_[index];
    if (file_->Tell() != piece.skip + within && !file_->Seek(piece.skip + within)) {
      problem_ = piece.path + " changed while it was read";
      break;
    }
    const size_t take = size_t(std::min<uint64_t>(n - got, piece.length - within));
    const size_t read = file_->Read(to + got, take);
    got += read;
    pos_ += read;
    if (read < take) {
      problem_ = piece.path + " changed while it was read";
      break;
    }
  }
  return got;
}

bool VolumeSetStream::Seek(uint64_t pos) {
  if (pos > length_) return false;
  pos_ = pos;
  return true;
}

}  // namespace kestrum
