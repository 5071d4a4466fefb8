// Lines from runs of rich text: runs go on a line while they fit; a run that
// does not is broken after the last space that fits, and its rest starts the
// next line. Each paragraph starts a new line, aligned as it says, and the
// runs of a line share its baseline. The text is measured through callbacks,
// so that the window's fonts stay where they are and this can be tested.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "view/rich_text/document.h"

namespace kestrum::rich_text {

struct WrapRun {
  std::wstring text;
  int paragraph = 0;  // runs of one paragraph are next to each other
};

// Measures of a run's text in the run's own font.
struct WrapMeasure {
  // The font's ascent and descent.
  std::function<void(size_t run, int& ascent, int& descent)> metrics;
  // How wide `text` comes out when drawn.
  std::function<int(size_t run, const std::wstring& text)> width;
  // The advance of the first `n` characters (used for spaces).
  std::function<int(size_t run, const std::wstring& text, size_t n)> advance;
  // How many leading characters of `text` fit in `room`.
  std::function<size_t(size_t run, const std::wstring& text, int room)> fit;
};

// A run, or the part of it on one line, where it goes. A run of spaces
// between two others keeps its advance as an empty text.
struct PlacedRun {
  size_t run = 0;
  std::wstring text;
  int left = 0, top = 0, right = 0, bottom = 0;
};

// How much of a line a piece of text takes, from its measures in its font:
// `full` and `measured`, the metrics' advance with and without its trailing
// spaces; `ink`, where its drawing ends plus one pixel (0: nothing drawn).
// Glyphs drawn from a font's embedded bitmaps (Wine's Tahoma at small sizes)
// may end short of the outline metrics or beyond them. The piece is as wide
// as its ink either way, then its trailing spaces at the metrics' width, so
// that the next piece neither stands apart from it nor eats the space before
// it. An ink below four fifths of the metrics is no such case: the metrics.
int DrawnRunWidth(int full, int measured, int ink);

// `align[p]` is paragraph p's alignment; `width` is the room of a line.
std::vector<PlacedRun> WrapRuns(const std::vector<WrapRun>& runs, const std::vector<Align>& align,
                                int width, const WrapMeasure& measure);

}  // namespace kestrum::rich_text
