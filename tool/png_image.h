// PNG pictures for the archive's icon and banner.
#pragma once

#include <string>

#include "archive/container_format.h"

namespace kestrum {

// Decodes a PNG into the header's image form (B,G,R,A, premultiplied alpha).
bool LoadPngImage(const std::string& path, Image& image, std::string& error);

}  // namespace kestrum
