// The small document glyph of file nodes in the explorer tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrum {

constexpr int kFileGlyphWidth = 16;
constexpr int kFileGlyphHeight = 18;

// A white sheet with a grey outline and a folded corner, on transparency;
// pixels B,G,R,A premultiplied, rows from the top.
std::vector<uint8_t> FileGlyph();

}  // namespace kestrum
