// A document written as RTF for the system's rich edit control, which reads
// it in one pass (formatting the text range by range takes it quadratic time).
// Links are not RTF fields: they are underlined text in the link colour, and
// their positions are returned so that the view can hit-test them. Pictures
// are device-independent bitmaps (\dibitmap), decoded by the caller's
// decoder and scaled here to their size on screen; each takes one position.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "view/rich_text/document.h"

namespace kestrum::rich_text {

// A picture's pixels: B, G, R, A rows from the top, alpha not premultiplied.
struct DecodedPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
};

// Decodes a picture object's data; false when it cannot.
using PictureDecoder = std::function<bool(const PictureObject&, DecodedPicture*)>;

struct RtfStyle {
  std::string face;            // of text without a face of its own
  int base_twips = 160;        // height of size index 2 and of text without a size
  Color text{0, 0, 0};         // of text without a colour of its own
  Color link{0, 0, 255};       // of all link text
  Color paper{240, 240, 240};  // behind pictures, which are written opaque
  int dpi = 96;                // pictures are written at their pixel size on screen
  // Unset, or failing for a picture: that picture shows as an empty box of
  // its size (32 x 32 pixels at 96 DPI where the markup gives none).
  PictureDecoder decode_picture;
};

// A picture is shown at most this many pixels wide and high, and a
// document's pictures are written with at most kMaxPicturePixels: beyond
// that a picture is an empty box.
constexpr int kMaxPictureSide = 2048;
constexpr long kMaxPicturePixels = 4L << 20;

// Height in twips of a size index (kDefaultSize included). The indexes keep
// the proportions of 6, 8, 10, 12, 16, 20, 24, 28, 36 and 48 points, with
// index 2 at base_twips.
int SizeTwips(int size, int base_twips);

// Where a link's text sits in the control, in UTF-16 positions; paragraphs
// are separated by one position.
struct LinkSpan {
  long start, end;
  int link;  // index into Document::links
  int size;  // of its text
};

struct Rtf {
  std::string text;
  std::vector<LinkSpan> links;
  long length = 0;  // of the whole text, in the same positions
};

// Invalid UTF-8 shows as U+FFFD, one per byte; control characters other than
// tab are left out.
Rtf ToRtf(const Document& doc, const RtfStyle& style);

}  // namespace kestrum::rich_text
