// Where a control goes: one horizontal and one vertical placement in layout
// units, turned into pixels for a client size and a layout zoom.
#pragma once

namespace kestrum {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

struct HPlacement {
  enum Kind { kLeft, kRight, kSize, kCenter } kind;
  int a, b;  // Left(a, w), Right(a, w), HSize(a, b), HCenter(w, d)
};
struct VPlacement {
  enum Kind { kTop, kBottom, kSize } kind;
  int a, b;  // Top(a, h), Bottom(a, h), VSize(a, b)
};

constexpr HPlacement Left(int a, int w) {
  return {HPlacement::kLeft, a, w};
}
constexpr HPlacement Right(int a, int w) {
  return {HPlacement::kRight, a, w};
}
constexpr HPlacement HSize(int a, int b) {
  return {HPlacement::kSize, a, b};
}
constexpr HPlacement HCenter(int w, int d) {
  return {HPlacement::kCenter, w, d};
}
constexpr VPlacement Top(int a, int h) {
  return {VPlacement::kTop, a, h};
}
constexpr VPlacement Bottom(int a, int h) {
  return {VPlacement::kBottom, a, h};
}
constexpr VPlacement VSize(int a, int b) {
  return {VPlacement::kSize, a, b};
}

// Layout units to pixels: value * current / design, truncated toward zero,
// separately for each axis.
struct LayoutZoom {
  int current_x = 1, design_x = 1, current_y = 1, design_y = 1;
  int X(int v) const { return static_cast<int>(static_cast<long long>(v) * current_x / design_x); }
  int Y(int v) const { return static_cast<int>(static_cast<long long>(v) * current_y / design_y); }
};

// The pixel rectangle for a client area of width w and height h.
Rect Place(HPlacement hp, VPlacement vp, int w, int h, const LayoutZoom& zoom);

}  // namespace kestrum
