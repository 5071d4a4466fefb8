// Pictures of a description decoded with the system's imaging component
// (WIC), reached through COM, so its DLL is loaded by the system from its own
// folder only when a description holds a picture.
#pragma once

#include "view/rich_text/rtf.h"

namespace kestrum::ui {

// A PNG (or any format WIC knows) into straight-alpha BGRA rows; false for
// data it cannot decode and for pictures of more than kMaxDecodedPixels.
bool DecodePicture(const rich_text::PictureObject& picture, rich_text::DecodedPicture* out);

constexpr unsigned kMaxDecodedPixels = 16u << 20;

}  // namespace kestrum::ui
