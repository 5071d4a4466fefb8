#include "images/image_list.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "i18n/language_code.h"

namespace kestrum {
namespace {

using Getter = const Picture& (ImageList::*)() const;

struct Listed {
  Getter get;
  const char* name;
  int width, height;
};

// The image list as the program knows it, in list order.
const Listed kListed[] = {
    {&ImageList::unpack_en, "unpack_en", 500, 59},
    {&ImageList::unpack_ru, "unpack_ru", 500, 59},
    {&ImageList::unpack_es, "unpack_es", 500, 59},
    {&ImageList::unpack_it, "unpack_it", 500, 59},
    {&ImageList::unpack_kz, "unpack_kz", 500, 59},
    {&ImageList::unpack_cn, "unpack_cn", 500, 59},
    {&ImageList::unpack_de, "unpack_de", 500, 59},
    {&ImageList::unpack_ua, "unpack_ua", 500, 59},
    {&ImageList::unpack_fr, "unpack_fr", 500, 59},
    {&ImageList::title_en, "title_en", 453, 59},
    {&ImageList::title_ru, "title_ru", 453, 59},
    {&ImageList::title_es, "title_es", 453, 59},
    {&ImageList::title_it, "title_it", 453, 59},
    {&ImageList::title_kz, "title_kz", 453, 59},
    {&ImageList::title_cn, "title_cn", 453, 59},
    {&ImageList::title_de, "title_de", 453, 59},
    {&ImageList::title_ua, "title_ua", 453, 59},
    {&ImageList::title_fr, "title_fr", 453, 59},
    {&ImageList::button_en, "button_en", 138, 36},
    {&ImageList::button_ru, "button_ru", 140, 36},
    {&ImageList::button_es, "button_es", 148, 36},
    {&ImageList::button_it, "button_it", 138, 36},
    {&ImageList::button_kz, "button_kz", 107, 36},
    {&ImageList::button_cn, "button_cn", 107, 36},
    {&ImageList::button_de, "button_de", 170, 36},
    {&ImageList::button_ua, "button_ua", 138, 36},
    {&ImageList::button_fr, "button_fr", 178, 36},
    {&ImageList::folder_opened, "folder_opened", 16, 18},
    {&ImageList::folder_closed, "folder_closed", 16, 18},
    {&ImageList::Kestrum_original, "Kestrum_original", 394, 217},
    {&ImageList::Kestrum_text, "Kestrum_text", 244, 71},
    {&ImageList::empty, "empty", 500, 60},
    {&ImageList::KX_logo, "KX_logo", 329, 293},
    {&ImageList::MinIcon, "MinIcon", 16, 16},
    {&ImageList::MaxIcon, "MaxIcon", 32, 32},
    {&ImageList::banner, "banner", 600, 60},
};

const uint8_t* PixelAt(const Picture& p, int x, int y) {
  return &p.bgra[(static_cast<size_t>(y) * p.width + x) * 4];
}

TEST(ImageList, EveryImageInListOrderWithItsSize) {
  const ImageList& list = ArchImages();
  ASSERT_EQ(ImageList::size(), std::size(kListed));
  for (size_t i = 0; i < std::size(kListed); ++i) {
    const Listed& l = kListed[i];
    SCOPED_TRACE(l.name);
    EXPECT_EQ(ImageList::NameOf(static_cast<ImageId>(i)), l.name);
    const Picture& p = (list.*l.get)();
    EXPECT_EQ(p.width, l.width);
    EXPECT_EQ(p.height, l.height);
    EXPECT_EQ(p.bgra.size(), static_cast<size_t>(l.width) * l.height * 4);
    // The getter and the packed table agree on which picture has the name.
    EXPECT_EQ(&p, list.Find(l.name));
    EXPECT_EQ(&p, &(DialogImages().*l.get)());
  }
  EXPECT_EQ(list.Find("File"), nullptr);
}

TEST(ImageList, InflatesABlockWhenOneOfItsPicturesIsFirstFetched) {
  const ImageList list;
  EXPECT_EQ(list.InflatedBlocks(), 0u);
  list.button_kz();
  EXPECT_EQ(list.InflatedBlocks(), 1u);
  list.button_cn();  // shares the block of button_kz
  list.button_kz();
  EXPECT_EQ(list.InflatedBlocks(), 1u);
  list.button_de();
  EXPECT_EQ(list.InflatedBlocks(), 2u);
  list.unpack_en();
  list.unpack_ru();
  EXPECT_EQ(list.InflatedBlocks(), 4u);
  list.folder_closed();
  list.Kestrum_original();
  list.folder_opened();
  EXPECT_EQ(list.InflatedBlocks(), 5u);
  list.MinIcon();
  list.banner();
  list.MaxIcon();
  EXPECT_EQ(list.InflatedBlocks(), 6u);
  // Every picture of a language alone, apart from the two narrow buttons:
  // 9 + 9 + 8 blocks, then the three groups and three single pictures.
  for (const Listed& l : kListed) (list.*l.get)();
  EXPECT_EQ(list.InflatedBlocks(), 31u);
}

TEST(ImageList, ThreadsFetchingAtOnceShareOnePicture) {
  const ImageList list;
  const Picture* seen[6] = {};
  std::vector<std::thread> threads;
  for (auto& s : seen) threads.emplace_back([&list, &s] { s = &list.KX_logo(); });
  for (auto& t : threads) t.join();
  for (const Picture* s : seen) EXPECT_EQ(s, seen[0]);
  EXPECT_EQ(seen[0]->width, 329);
  EXPECT_EQ(list.InflatedBlocks(), 1u);
}

TEST(ImageList, LanguagesChooseTheirHeaderAndButton) {
  const ImageList& list = ArchImages();
  const struct {
    uint32_t code;
    Getter header, button;
  } cases[] = {
      {kLangEnUS, &ImageList::unpack_en, &ImageList::button_en},
      {kLangRuRU, &ImageList::unpack_ru, &ImageList::button_ru},
      {kLangEsES, &ImageList::unpack_es, &ImageList::button_es},
      {kLangItIT, &ImageList::unpack_it, &ImageList::button_it},
      {kLangKkKZ, &ImageList::unpack_kz, &ImageList::button_kz},
      {kLangZhCN, &ImageList::unpack_cn, &ImageList::button_cn},
      {kLangDeDE, &ImageList::unpack_de, &ImageList::button_de},
      {kLangUkUA, &ImageList::unpack_ua, &ImageList::button_ua},
      {kLangFrFR, &ImageList::unpack_fr, &ImageList::button_fr},
      // Only the language part counts: Austrian German is German, and a
      // character-set number does not change the language.
      {LanguageCode('D', 'E', 'A', 'T'), &ImageList::unpack_de, &ImageList::button_de},
      {kLangUkUA | (kCharsetUtf8 << kCharsetShift), &ImageList::unpack_ua, &ImageList::button_ua},
      // Anything else is English.
      {LanguageCode('P', 'T', 'B', 'R'), &ImageList::unpack_en, &ImageList::button_en},
      {0, &ImageList::unpack_en, &ImageList::button_en},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatLanguageCode(WithoutCharset(c.code)));
    EXPECT_EQ(&HeaderPicture(c.code), &(list.*c.header)());
    EXPECT_EQ(&ButtonFace(c.code), &(list.*c.button)());
  }
  EXPECT_EQ(ButtonFace(kLangDeDE).width, 170);
  EXPECT_EQ(ButtonFace(kLangKkKZ).width, 107);
  EXPECT_EQ(ButtonFace(kLangZhCN).width, 107);
  EXPECT_EQ(ButtonFace(kLangEnUS).height, 36);
}

// Pixels are premultiplied: no colour byte exceeds its alpha, and a fully
// transparent pixel is all zero.
TEST(ImageList, TransparentPicturesArePremultiplied) {
  const ImageList& list = ArchImages();
  const Picture& folder = list.folder_opened();
  ASSERT_FALSE(folder.is_empty());
  const uint8_t* corner = PixelAt(folder, 0, 0);
  EXPECT_EQ(corner[0] | corner[1] | corner[2] | corner[3], 0);

  int partly = 0;  // edge pixels, where straight alpha would show
  for (Getter get :
       {&ImageList::folder_opened, &ImageList::folder_closed, &ImageList::Kestrum_original,
        &ImageList::Kestrum_text, &ImageList::MinIcon, &ImageList::MaxIcon}) {
    const Picture& p = (list.*get)();
    int over = 0;
    for (size_t i = 0; i < p.bgra.size(); i += 4) {
      const uint8_t a = p.bgra[i + 3];
      if (a > 0 && a < 255) ++partly;
      if (p.bgra[i] > a || p.bgra[i + 1] > a || p.bgra[i + 2] > a) ++over;
    }
    EXPECT_EQ(over, 0) << p.width << "x" << p.height;
  }
  EXPECT_GT(partly, 1000);
}

TEST(ImageList, OpaquePicturesAndTheFillerContinuingTheHeader) {
  const ImageList& list = ArchImages();
  for (const Listed& l : kListed) {
    const std::string name = l.name;
    const bool see_through = name.rfind("folder_", 0) == 0 || name.rfind("Kestrum_", 0) == 0 ||
                             name == "MinIcon" || name == "MaxIcon";
    if (see_through) continue;
    const Picture& p = (list.*l.get)();
    size_t see_through_pixels = 0;
    for (size_t i = 3; i < p.bgra.size(); i += 4) see_through_pixels += p.bgra[i] != 255;
    EXPECT_EQ(see_through_pixels, 0u) << name;
  }
  // The filler tiles sit right of the header picture: row by row they must
  // carry on its band, and end in a darker line.
  const Picture& header = list.unpack_fr();
  const Picture& filler = list.empty();
  for (int y = 0; y < header.height; ++y) {
    const uint8_t* a = PixelAt(header, header.width - 1, y);
    const uint8_t* b = PixelAt(filler, 0, y);
    EXPECT_TRUE(std::equal(a, a + 4, b)) << "row " << y;
  }
  EXPECT_LT(PixelAt(filler, 0, 59)[1] + 20, PixelAt(filler, 0, 30)[1]);
}

// A block of two images built here: a 2 x 1 picture and a 1 x 1 one.
std::vector<uint8_t> TwoImageBlock() {
  return {0, 2,  0,  1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // kind 0, 2 x 1, hot spots 0
          1, 2,  3,  4, 5, 6, 7, 8,                 // its two pixels
          0, 1,  0,  1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // kind 0, 1 x 1
          9, 10, 11, 12};
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out(compressBound(raw.size()));
  uLongf size = out.size();
  EXPECT_EQ(compress(out.data(), &size, raw.data(), raw.size()), Z_OK);
  out.resize(size);
  return out;
}

TEST(ImageBlock, SplitsAnInflatedBlockIntoItsPictures) {
  const std::vector<uint8_t> raw = TwoImageBlock();
  const std::vector<uint8_t> packed = Deflate(raw);
  const std::vector<Picture> pictures = DecodeImageBlock(packed.data(), packed.size(), raw.size());
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0].width, 2);
  EXPECT_EQ(pictures[0].height, 1);
  EXPECT_EQ(pictures[0].bgra, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(pictures[1].width, 1);
  EXPECT_EQ(pictures[1].bgra, (std::vector<uint8_t>{9, 10, 11, 12}));
}

TEST(ImageBlock, DamagedBlocksGiveNoPictures) {
  const std::vector<uint8_t> raw = TwoImageBlock();
  const std::vector<uint8_t> packed = Deflate(raw);
  // Inflated size other than announced.
  EXPECT_TRUE(DecodeImageBlock(packed.data(), packed.size(), raw.size() - 1).empty());
  EXPECT_TRUE(DecodeImageBlock(packed.data(), packed.size(), raw.size() + 1).empty());
  // Not zlib data, cut short, nothing at all.
  EXPECT_TRUE(DecodeImageBlock(raw.data(), raw.size(), raw.size()).empty());
  EXPECT_TRUE(DecodeImageBlock(packed.data(), packed.size() / 2, raw.size()).empty());
  EXPECT_TRUE(DecodeImageBlock(nullptr, 0, raw.size()).empty());

  const auto decode = [](const std::vector<uint8_t>& r) {
    const std::vector<uint8_t> p = Deflate(r);
    return DecodeImageBlock(p.data(), p.size(), r.size());
  };
  std::vector<uint8_t> kind = raw;
  kind[21] = 1;  // second image of an unknown kind
  EXPECT_TRUE(decode(kind).empty());
  std::vector<uint8_t> wide = raw;
  wide[22] = 2;  // second image claims more pixels than remain
  EXPECT_TRUE(decode(wide).empty());
  std::vector<uint8_t> huge = raw;
  huge[1] = huge[2] = huge[3] = huge[4] = 0xFF;  // 65535 x 65535
  EXPECT_TRUE(decode(huge).empty());
  std::vector<uint8_t> tail = raw;
  tail.insert(tail.end(), {0, 0, 0});  // bytes too few for another header
  EXPECT_TRUE(decode(tail).empty());
}

}  // namespace
}  // namespace kestrum
