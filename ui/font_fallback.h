// Letters the base face lacks, drawn in the faces the system links to it.
// GDI falls back through FontLink\SystemLink when it draws a string, but not
// when it draws glyph indices, and the rich edit control under Wine draws
// every paragraph as glyph indices of the run's own font (through
// Uniscribe): Chinese in Tahoma comes out as boxes there. So the document
// names the linked face itself for those letters.
#pragma once

#include <string>

#include "view/rich_text/document.h"

namespace kestrum::ui {

// Gives the letters of doc that its faces (base_face for runs without one)
// lack the first linked face of base_face that has them.
void UseLinkedFaces(rich_text::Document& doc, const std::string& base_face);

}  // namespace kestrum::ui
