#include "view/rich_text/wrap.h"

#include <algorithm>

namespace kestrum::rich_text {
namespace {

struct LineItem {
  PlacedRun placed;
  int width, ascent, descent;
};

class LineBuilder {
 public:
  LineBuilder(int width, std::vector<PlacedRun>& out) : width_(width), out_(out) {}

  int x() const { return x_; }
  void Add(PlacedRun placed, int width, int ascent, int descent) {
    line_.push_back({std::move(placed), width, ascent, descent});
    x_ += width;
  }
  // Places the line's runs on a common baseline and starts the next line.
  void Flush(Align align) {
    int ascent = 0, descent = 0;
    for (const LineItem& item : line_) {
      ascent = std::max(ascent, item.ascent);
      descent = std::max(descent, item.descent);
    }
    int left = 0;
    if (align == Align::kCenter) left = (width_ - x_) / 2;
    if (align == Align::kRight) left = width_ - x_;
    for (LineItem& item : line_) {
      const int top = top_ + ascent - item.ascent;
      item.placed.left = left;
      item.placed.top = top;
      item.placed.right = left + item.width;
      item.placed.bottom = top + item.ascent + item.descent;
      left += item.width;
      out_.push_back(std::move(item.placed));
    }
    top_ += ascent + descent;
    line_.clear();
    x_ = 0;
  }

 private:
  int width_;
  std::vector<PlacedRun>& out_;
  std::vector<LineItem> line_;
  int top_ = 0, x_ = 0;
};

}  // namespace

int DrawnRunWidth(int full, int measured, int ink) {
  if (ink <= 0 || ink * 10 < measured * 8) return full;
  return ink + (full - measured);
}

std::vector<PlacedRun> WrapRuns(const std::vector<WrapRun>& runs, const std::vector<Align>& align,
                                int width, const WrapMeasure& measure) {
  std::vector<PlacedRun> placed;
  LineBuilder line(width, placed);
  const auto align_of = [&](size_t i) {
    const size_t p = size_t(runs[i].paragraph);
    return p < align.size() ? align[p] : Align::kLeft;
  };
  for (size_t i = 0; i < runs.size(); ++i) {
    int ascent = 0, descent = 0;
    measure.metrics(i, ascent, descent);
    std::wstring rest = runs[i].text;
    while (!rest.empty()) {
      // Spaces that open a run keep the width the metrics give them (the
      // font may draw them narrower); at the start of a line they go.
      const size_t lead = std::min(rest.find_first_not_of(L' '), rest.size());
      if (lead > 0) {
        const int spaces = measure.advance(i, rest, lead);
        if (line.x() > 0 && line.x() + spaces <= width) line.Add({i, {}}, spaces, ascent, descent);
        rest.erase(0, lead);
        continue;
      }
      const int rest_width = measure.width(i, rest);
      size_t take = rest.size();
      if (line.x() + rest_width > width) {
        // The characters that fit, broken after a space among them.
        const size_t fit = measure.fit(i, rest, std::max(0, width - line.x()));
        const size_t space = fit > 0 ? rest.rfind(L' ', fit - 1) : std::wstring::npos;
        if (space != std::wstring::npos) {
          take = space + 1;
        } else if (line.x() > 0) {
          line.Flush(align_of(i));
          continue;  // the whole rest on a line of its own
        }
      }
      std::wstring part = rest.substr(0, take);
      const int part_width = take == rest.size() ? rest_width : measure.width(i, part);
      line.Add({i, std::move(part)}, part_width, ascent, descent);
      rest.erase(0, take);
      if (!rest.empty()) line.Flush(align_of(i));
    }
    if (i + 1 == runs.size() || runs[i + 1].paragraph != runs[i].paragraph) line.Flush(align_of(i));
  }
  return placed;
}

}  // namespace kestrum::rich_text
