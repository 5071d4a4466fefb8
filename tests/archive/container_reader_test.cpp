#include "archive/container_reader.h"

#include <gtest/gtest.h>

#include "tests/support/archive_builder.h"

namespace kestrum {
namespace {

using test::Bytes;

bool ReadImageFrom(const Bytes& bytes, Image& image, uint64_t* end = nullptr) {
  MemoryStream s(bytes);
  ByteCursor in(s);
  ContainerReader reader(in);
  const bool ok = reader.ReadImage(image);
  if (end) *end = in.Tell();
  return ok;
}

TEST(ImageRecord, ReadsPixelsRowsFromTheTop) {
  Bytes b = test::ImageRecord(3, 2, 0x11);
  b[1 + 24 + 4] = 0x99;  // first byte of the second pixel
  Image image;
  ASSERT_TRUE(ReadImageFrom(b, image));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  ASSERT_EQ(image.bgra.size(), 24u);
  EXPECT_EQ(image.bgra[4], 0x99);
  EXPECT_FALSE(image.empty());
}

TEST(ImageRecord, ZeroSizeHasNoPixelsAndIsEmpty) {
  Bytes b = test::ImageRecord(0, 5);
  test::Put32(b, 0xDEADBEEF);  // what follows the record is not consumed
  Image image;
  uint64_t end = 0;
  ASSERT_TRUE(ReadImageFrom(b, image, &end));
  EXPECT_TRUE(image.empty());
  EXPECT_EQ(end, 25u);
}

TEST(ImageRecord, LongVersionFormIsSkipped) {
  Bytes b;
  test::Put8(b, 255);
  test::Put32(b, 7);
  Bytes rest = test::ImageRecord(1, 1);
  b.insert(b.end(), rest.begin() + 1, rest.end());
  Image image;
  ASSERT_TRUE(ReadImageFrom(b, image));
  EXPECT_EQ(image.width, 1);
  EXPECT_EQ(image.bgra.size(), 4u);
}

TEST(ImageRecord, ImpossibleSizesAreRefused) {
  Image image;
  EXPECT_FALSE(ReadImageFrom(test::ImageRecord(-1, 4), image));
  Bytes huge = test::ImageRecord(0, 0);
  test::Set32(huge, 1, 16000);
  test::Set32(huge, 5, 16000);  // 1 GB of pixels the record does not hold
  EXPECT_FALSE(ReadImageFrom(huge, image));
  Bytes cut = test::ImageRecord(4, 4);
  cut.pop_back();
  EXPECT_FALSE(ReadImageFrom(cut, image));
}

TEST(VolumeNames, DropFourCharactersAndPadToThreeDigits) {
  EXPECT_EQ(VolumeBase("D:\\x\\pack.exe"), "D:\\x\\pack");
  EXPECT_EQ(VolumeBase("D:\\x\\setup"), "D:\\x\\s");  // the last four, whatever they are
  EXPECT_EQ(VolumeFileName("D:\\x\\pack", 1), "D:\\x\\pack.001");
  EXPECT_EQ(VolumeFileName("D:\\x\\pack", 42), "D:\\x\\pack.042");
  EXPECT_EQ(VolumeFileName("D:\\x\\pack", 1000), "D:\\x\\pack.1000");
}

TEST(Strings, NulEndsATextButNotTheRecord) {
  EXPECT_EQ(CutAtNul(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(CutAtNul("abc"), "abc");
}

}  // namespace
}  // namespace kestrum
