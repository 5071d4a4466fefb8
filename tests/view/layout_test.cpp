#include <gtest/gtest.h>

#include <array>

#include "view/common_layout.h"
#include "view/list_columns.h"
#include "view/make_strip.h"
#include "view/placement.h"

namespace kestrum {
namespace {

const LayoutZoom kDesign{1, 1, 1, 1};

TEST(Placement, RectanglesAtTheDesignSizeAndEnlarged) {
  // The tree without description: 60..540 across, 136..404 down.
  EXPECT_EQ(Place(HSize(60, 60), VSize(136, 136), 600, 540, kDesign), (Rect{60, 136, 540, 404}));
  EXPECT_EQ(Place(HSize(60, 60), VSize(220, 136), 600, 540, kDesign), (Rect{60, 220, 540, 404}));
  // Enlarged: sized controls grow, right-placed ones keep their distance.
  EXPECT_EQ(Place(HSize(60, 60), VSize(136, 136), 1400, 900, kDesign), (Rect{60, 136, 1340, 764}));
  EXPECT_EQ(Place(Right(58, 80), Bottom(12, 24), 1400, 900, kDesign), (Rect{1262, 864, 1342, 888}));
  EXPECT_EQ(Place(Left(60, 160), Top(68, 20), 1400, 900, kDesign), (Rect{60, 68, 220, 88}));
  // The Extract button stays centred; an odd remainder goes to the right.
  EXPECT_EQ(Place(HCenter(140, -2), Bottom(60, 36), 600, 540, kDesign), (Rect{228, 444, 368, 480}));
  EXPECT_EQ(Place(HCenter(170, 0), Bottom(60, 36), 1401, 900, kDesign).left, 615);
}

TEST(Placement, ZoomScalesEachAxisAndTruncates) {
  const LayoutZoom zoom{3, 2, 5, 4};  // 150 % across, 125 % down
  EXPECT_EQ(Place(Left(61, 101), Top(13, 7), 900, 675, zoom), (Rect{91, 16, 242, 24}));
  EXPECT_EQ(Place(Right(60, 160), Bottom(100, 24), 900, 675, zoom), (Rect{570, 520, 810, 550}));
}

TEST(CommonLayout, TwentyControlsInFormOrder) {
  const LayoutItem* items = CommonLayout();
  for (int i = 0; i < kControlCount; ++i) EXPECT_EQ(int(items[i].id), i);
  EXPECT_STREQ(items[0].name, "language");
  EXPECT_STREQ(items[19].name, "indicator");
  EXPECT_EQ(kControlCount, 20);
}

TEST(ListColumns, FitTheListWhenTheTitlesCan) {
  using W = std::array<int, 4>;
  // Short titles: a quarter for each number, the rest for the name.
  EXPECT_EQ(FitListColumns(476, {80, 74, 89, 104}), (W{119, 119, 119, 119}));
  // French at 100 %: the name's title takes from the numbers' spare room,
  // the last column first, and all four still fit.
  EXPECT_EQ(FitListColumns(476, {140, 95, 125, 70}), (W{140, 119, 125, 92}));
  // Russian: the last title is wider than a quarter; the others give what
  // the name lacks, down to their own needs.
  EXPECT_EQ(FitListColumns(476, {110, 100, 115, 135}), (W{110, 116, 115, 135}));
  // Titles wider than the list together: each keeps its need.
  EXPECT_EQ(FitListColumns(300, {110, 100, 115, 135}), (W{110, 100, 115, 135}));
}

TEST(MakeStrip, RowColours) {
  const Rgb r0 = StripRow(0), r1 = StripRow(1), r2 = StripRow(2), r49 = StripRow(49);
  EXPECT_EQ((std::vector<int>{r0.r, r0.g, r0.b}), (std::vector<int>{100, 114, 71}));
  EXPECT_EQ((std::vector<int>{r1.r, r1.g, r1.b}), (std::vector<int>{120, 135, 84}));
  EXPECT_EQ((std::vector<int>{r2.r, r2.g, r2.b}), (std::vector<int>{127, 143, 88}));
  EXPECT_EQ((std::vector<int>{r49.r, r49.g, r49.b}), (std::vector<int>{94, 110, 55}));
  const std::vector<uint8_t> strip = MakeStrip(3);
  ASSERT_EQ(strip.size(), 3u * 50 * 4);
  // B, G, R, A of row 49, last pixel.
  EXPECT_EQ((std::vector<uint8_t>(strip.end() - 4, strip.end())),
            (std::vector<uint8_t>{55, 110, 94, 255}));
}

}  // namespace
}  // namespace kestrum
