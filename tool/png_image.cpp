#include "tool/png_image.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/byte_stream.h"
#include "tool/system_error.h"

namespace kestrum {

bool LoadPngImage(const std::string& path, Image& image, std::string& error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  // Opened here rather than by libpng so that UTF-8 names work on Windows too.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFileUtf8(path, "rb"), &std::fclose);
  if (!file) {
    error = CannotOpen(path, errno);
    return false;
  }
  if (!png_image_begin_read_from_stdio(&png, file.get())) {
    error = path + ": " + png.message;
    return false;
  }
  png.format = PNG_FORMAT_BGRA;
  if (png.width == 0 || png.height == 0 || png.width > uint32_t(kMaxImageSide) ||
      png.height > uint32_t(kMaxImageSide)) {
    png_image_free(&png);
    error = path + ": the picture is empty or larger than " + std::to_string(kMaxImageSide) +
            " pixels a side";
    return false;
  }
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    error = path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  // The header stores colour premultiplied by alpha.
  for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
    const unsigned a = pixels[i + 3];
    for (int c = 0; c < 3; ++c)
      pixels[i + c] = static_cast<uint8_t>((pixels[i + c] * a + 127) / 255);
  }
  image = Image();
  image.width = static_cast<int32_t>(png.width);
  image.height = static_cast<int32_t>(png.height);
  image.bgra = std::move(pixels);
  return true;
}

}  // namespace kestrum
