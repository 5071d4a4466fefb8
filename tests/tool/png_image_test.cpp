#include "tool/png_image.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "tests/support/temp_dir.h"

namespace kestrum {
namespace {

// Writes a 2 x 1 RGBA picture with libpng: opaque red, then half-transparent white.
std::string WritePng(const std::string& path) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = 2;
  png.height = 1;
  png.format = PNG_FORMAT_RGBA;
  const uint8_t pixels[] = {255, 0, 0, 255, 255, 255, 255, 128};
  EXPECT_TRUE(png_image_write_to_file(&png, path.c_str(), 0, pixels, 0, nullptr));
  return path;
}

TEST(PngImage, DecodesToPremultipliedBgra) {
  test::TempDir dir;
  Image image;
  std::string error;
  ASSERT_TRUE(LoadPngImage(WritePng(dir.File("p.png")), image, error)) << error;
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 1);
  EXPECT_EQ(image.bgra, (std::vector<uint8_t>{0, 0, 255, 255, 128, 128, 128, 128}));
}

TEST(PngImage, RefusesWhatIsNotAPicture) {
  test::TempDir dir;
  Image image;
  std::string error;
  EXPECT_FALSE(LoadPngImage(dir.Write("x.png", std::string("not a png")), image, error));
  EXPECT_NE(error.find("x.png"), std::string::npos) << error;
  EXPECT_FALSE(LoadPngImage(dir.File("missing.png"), image, error));
}

}  // namespace
}  // namespace kestrum
