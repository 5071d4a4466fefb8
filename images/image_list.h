// The program's image list: 36 named pictures compiled into the executable as
// zlib-compressed blocks (written at build time by images/pack_images.py from
// images/png). A block is inflated when one of its pictures is first fetched
// and kept from then on; the pictures of languages never shown stay packed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kestrum {

// Pixels B, G, R, A, rows from the top, colour premultiplied by alpha.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;

  bool is_empty() const { return width <= 0 || height <= 0; }
};

// The images in list order.
enum class ImageId : uint16_t {
  unpack_en,
  unpack_ru,
  unpack_es,
  unpack_it,
  unpack_kz,
  unpack_cn,
  unpack_de,
  unpack_ua,
  unpack_fr,
  title_en,
  title_ru,
  title_es,
  title_it,
  title_kz,
  title_cn,
  title_de,
  title_ua,
  title_fr,
  button_en,
  button_ru,
  button_es,
  button_it,
  button_kz,
  button_cn,
  button_de,
  button_ua,
  button_fr,
  folder_opened,
  folder_closed,
  Kestrum_original,
  Kestrum_text,
  empty,
  KX_logo,
  MinIcon,
  MaxIcon,
  banner
};

class ImageList {
 public:
  ImageList();
  ~ImageList();
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // Header pictures, 500 x 59: the word mark and the word for decompressing.
  const Picture& unpack_en() const { return Get(ImageId::unpack_en); }
  const Picture& unpack_ru() const { return Get(ImageId::unpack_ru); }
  const Picture& unpack_es() const { return Get(ImageId::unpack_es); }
  const Picture& unpack_it() const { return Get(ImageId::unpack_it); }
  const Picture& unpack_kz() const { return Get(ImageId::unpack_kz); }
  const Picture& unpack_cn() const { return Get(ImageId::unpack_cn); }
  const Picture& unpack_de() const { return Get(ImageId::unpack_de); }
  const Picture& unpack_ua() const { return Get(ImageId::unpack_ua); }
  const Picture& unpack_fr() const { return Get(ImageId::unpack_fr); }
  // Narrower headings, 453 x 59, kept in the list but not shown.
  const Picture& title_en() const { return Get(ImageId::title_en); }
  const Picture& title_ru() const { return Get(ImageId::title_ru); }
  const Picture& title_es() const { return Get(ImageId::title_es); }
  const Picture& title_it() const { return Get(ImageId::title_it); }
  const Picture& title_kz() const { return Get(ImageId::title_kz); }
  const Picture& title_cn() const { return Get(ImageId::title_cn); }
  const Picture& title_de() const { return Get(ImageId::title_de); }
  const Picture& title_ua() const { return Get(ImageId::title_ua); }
  const Picture& title_fr() const { return Get(ImageId::title_fr); }
  // Extract button faces, 36 high.
  const Picture& button_en() const { return Get(ImageId::button_en); }
  const Picture& button_ru() const { return Get(ImageId::button_ru); }
  const Picture& button_es() const { return Get(ImageId::button_es); }
  const Picture& button_it() const { return Get(ImageId::button_it); }
  const Picture& button_kz() const { return Get(ImageId::button_kz); }
  const Picture& button_cn() const { return Get(ImageId::button_cn); }
  const Picture& button_de() const { return Get(ImageId::button_de); }
  const Picture& button_ua() const { return Get(ImageId::button_ua); }
  const Picture& button_fr() const { return Get(ImageId::button_fr); }
  // Tree expander glyphs, 16 x 18, transparent.
  const Picture& folder_opened() const { return Get(ImageId::folder_opened); }
  const Picture& folder_closed() const { return Get(ImageId::folder_closed); }
  // Word marks, transparent, not shown.
  const Picture& Kestrum_original() const { return Get(ImageId::Kestrum_original); }
  const Picture& Kestrum_text() const { return Get(ImageId::Kestrum_text); }
  // The 500 x 60 tile that fills the header band right of the header picture.
  const Picture& empty() const { return Get(ImageId::empty); }
  // The logo, 329 x 293 on the window's grey.
  const Picture& KX_logo() const { return Get(ImageId::KX_logo); }
  // Window icons, 16 x 16 and 32 x 32, transparent.
  const Picture& MinIcon() const { return Get(ImageId::MinIcon); }
  const Picture& MaxIcon() const { return Get(ImageId::MaxIcon); }
  // A 600 x 60 band with the word mark, not shown.
  const Picture& banner() const { return Get(ImageId::banner); }

  const Picture& Get(ImageId id) const;

  // The packed table, for checks and diagnostics: the number of images, the
  // name of one, and the image of a name (nullptr when there is none).
  static size_t size();
  static std::string_view NameOf(ImageId id);
  const Picture* Find(std::string_view name) const;

  // How many blocks have been inflated so far.
  size_t InflatedBlocks() const;

 private:
  struct Block;
  std::unique_ptr<Block[]> blocks_;
  mutable std::atomic<size_t> inflated_{0};
};

// The list under the names the main window and the About dialog use; both are
// the same list, so a picture is inflated once whichever asks first.
const ImageList& ArchImages();
const ImageList& DialogImages();

// The header picture and the Extract button face of a language code
// (i18n/language_code.h), chosen by its language part; a language outside the
// nine gets the English ones.
const Picture& HeaderPicture(uint32_t language_code);
const Picture& ButtonFace(uint32_t language_code);

// Inflates one block (raw_size bytes once inflated) and splits it into its
// pictures. Returns no pictures when the data do not inflate to exactly
// raw_size bytes or the image headers and pixels do not fill them exactly.
std::vector<Picture> DecodeImageBlock(const uint8_t* data, size_t size, size_t raw_size);

// The packed data, in the source file that pack_images.py generates.
namespace image_data {

struct ImageBlockData {
  const uint8_t* data;
  size_t size;      // compressed
  size_t raw_size;  // inflated
};

struct ImageEntry {
  const char* name;
  uint16_t block;
  uint16_t index;  // place in the block
  uint16_t width;
  uint16_t height;
};

extern const ImageBlockData kImageBlocks[];
extern const size_t kImageBlockCount;
extern const ImageEntry kImageEntries[];
extern const size_t kImageEntryCount;

}  // namespace image_data

}  // namespace kestrum
