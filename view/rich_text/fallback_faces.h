// Text in a face that lacks some of its letters (Chinese in Tahoma) shows
// boxes where the renderer does not fall back to other fonts by itself, as
// the rich edit control does not under Wine: it draws glyph indices of the
// run's own font. Here such letters get a face of their own, the first of
// the fallback faces that has them. Portable: the coverage of a face comes
// through a callback.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "view/rich_text/document.h"

namespace kestrum::rich_text {

// For each UTF-16 unit of text, whether the face draws it; face "" stands
// for the base face.
using FaceCoverage =
    std::function<std::vector<bool>(const std::string& face, const std::u16string& text)>;

// Splits the text runs where their letters need another face and gives those
// parts the first fallback face that draws them (added to doc.faces once).
// Letters that no fallback draws keep the run's face. The text is unchanged,
// apart from invalid UTF-8, which becomes U+FFFD as the views show it anyway.
void UseFallbackFaces(Document& doc, const std::vector<std::string>& fallbacks,
                      const FaceCoverage& covers);

}  // namespace kestrum::rich_text
