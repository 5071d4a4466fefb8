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

// `align[p]` is paragraph p's alignment; `width` is the room of a line.
std::vector<PlacedRun> WrapRuns(const std::vector<WrapRun>& runs, const std::vector<Align>& align,
                                int width, const WrapMeasure& measure);

}  // namespace kestrum::rich_text
