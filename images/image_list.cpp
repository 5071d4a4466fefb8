#include "images/image_list.h"

#include <zlib.h>

#include <limits>
#include <mutex>

#include "i18n/language_code.h"

namespace kestrum {
namespace {

constexpr size_t kImageHeaderSize = 13;  // kind, width, height, two hot spots
// Our largest block inflates to well under a megabyte; a size beyond this can
// only come from damaged data and is not worth allocating.
constexpr size_t kMaxRawSize = size_t{64} << 20;

uint16_t ReadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

const Picture& NoPicture() {
  static const Picture none;
  return none;
}

struct LanguagePictures {
  uint32_t language;
  ImageId header;
  ImageId button;
};

// English first: it is also the choice for every other language.
constexpr LanguagePictures kLanguagePictures[] = {
    {kLangEnUS, ImageId::unpack_en, ImageId::button_en},
    {kLangDeDE, ImageId::unpack_de, ImageId::button_de},
    {kLangEsES, ImageId::unpack_es, ImageId::button_es},
    {kLangFrFR, ImageId::unpack_fr, ImageId::button_fr},
    {kLangItIT, ImageId::unpack_it, ImageId::button_it},
    {kLangKkKZ, ImageId::unpack_kz, ImageId::button_kz},
    {kLangRuRU, ImageId::unpack_ru, ImageId::button_ru},
    {kLangUkUA, ImageId::unpack_ua, ImageId::button_ua},
    {kLangZhCN, ImageId::unpack_cn, ImageId::button_cn},
};

const LanguagePictures& PicturesOf(uint32_t language_code) {
  for (const LanguagePictures& row : kLanguagePictures)
    if (LanguagePart(row.language) == LanguagePart(language_code)) return row;
  return kLanguagePictures[0];
}

}  // namespace

std::vector<Picture> DecodeImageBlock(const uint8_t* data, size_t size, size_t raw_size) {
  if (data == nullptr || raw_size == 0 || raw_size > kMaxRawSize ||
      size > std::numeric_limits<uLong>::max())
    return {};
  std::vector<uint8_t> raw(raw_size);
  uLongf length = static_cast<uLongf>(raw_size);
  if (uncompress(raw.data(), &length, data, static_cast<uLong>(size)) != Z_OK || length != raw_size)
    return {};

  std::vector<Picture> pictures;
  size_t at = 0;
  while (at < raw.size()) {
    const size_t left = raw.size() - at;
    if (left < kImageHeaderSize || raw[at] != 0) return {};
    Picture picture;
    picture.width = ReadU16(&raw[at + 1]);
    picture.height = ReadU16(&raw[at + 3]);
    // 64-bit arithmetic: 65535 * 65535 * 4 does not fit a 32-bit size_t.
    const uint64_t bytes = uint64_t{4} * uint64_t(picture.width) * uint64_t(picture.height);
    if (bytes > left - kImageHeaderSize) return {};
    const auto pixels = raw.begin() + static_cast<std::ptrdiff_t>(at + kImageHeaderSize);
    picture.bgra.assign(pixels, pixels + static_cast<std::ptrdiff_t>(bytes));
    pictures.push_back(std::move(picture));
    at += kImageHeaderSize + static_cast<size_t>(bytes);
  }
  return pictures;
}

struct ImageList::Block {
  std::once_flag once;
  std::vector<Picture> pictures;
};

ImageList::ImageList() : blocks_(new Block[image_data::kImageBlockCount]) {}

ImageList::~ImageList() = default;

const Picture& ImageList::Get(ImageId id) const {
  const auto i = static_cast<size_t>(id);
  if (i >= image_data::kImageEntryCount) return NoPicture();
  const image_data::ImageEntry& entry = image_data::kImageEntries[i];
  if (entry.block >= image_data::kImageBlockCount) return NoPicture();
  Block& block = blocks_[entry.block];
  std::call_once(block.once, [&] {
    const image_data::ImageBlockData& packed = image_data::kImageBlocks[entry.block];
    block.pictures = DecodeImageBlock(packed.data, packed.size, packed.raw_size);
    inflated_.fetch_add(1, std::memory_order_relaxed);
  });
  if (entry.index >= block.pictures.size()) return NoPicture();
  const Picture& picture = block.pictures[entry.index];
  if (picture.width != entry.width || picture.height != entry.height) return NoPicture();
  return picture;
}

size_t ImageList::size() {
  return image_data::kImageEntryCount;
}

std::string_view ImageList::NameOf(ImageId id) {
  const auto i = static_cast<size_t>(id);
  return i < image_data::kImageEntryCount ? image_data::kImageEntries[i].name : "";
}

const Picture* ImageList::Find(std::string_view name) const {
  for (size_t i = 0; i < image_data::kImageEntryCount; ++i)
    if (name == image_data::kImageEntries[i].name) return &Get(static_cast<ImageId>(i));
  return nullptr;
}

size_t ImageList::InflatedBlocks() const {
  return inflated_.load(std::memory_order_relaxed);
}

const ImageList& ArchImages() {
  static const ImageList list;
  return list;
}

const ImageList& DialogImages() {
  return ArchImages();
}

const Picture& HeaderPicture(uint32_t language_code) {
  return ArchImages().Get(PicturesOf(language_code).header);
}

const Picture& ButtonFace(uint32_t language_code) {
  return ArchImages().Get(PicturesOf(language_code).button);
}

}  // namespace kestrum
