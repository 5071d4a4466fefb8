#include "view/placement.h"

namespace kestrum {

Rect Place(HPlacement hp, VPlacement vp, int w, int h, const LayoutZoom& z) {
  Rect r;
  switch (hp.kind) {
    case HPlacement::kLeft:
      r.left = z.X(hp.a);
      r.right = r.left + z.X(hp.b);
      break;
    case HPlacement::kRight:
      r.right = w - z.X(hp.a);
      r.left = r.right - z.X(hp.b);
      break;
    case HPlacement::kSize:
      r.left = z.X(hp.a);
      r.right = w - z.X(hp.b);
      break;
    case HPlacement::kCenter:
      r.left = (w - z.X(hp.a)) / 2 + z.X(hp.b);
      r.right = r.left + z.X(hp.a);
      break;
  }
  switch (vp.kind) {
    case VPlacement::kTop:
      r.top = z.Y(vp.a);
      r.bottom = r.top + z.Y(vp.b);
      break;
    case VPlacement::kBottom:
      r.bottom = h - z.Y(vp.a);
      r.top = r.bottom - z.Y(vp.b);
      break;
    case VPlacement::kSize:
      r.top = z.Y(vp.a);
      r.bottom = h - z.Y(vp.b);
      break;
  }
  return r;
}

}  // namespace kestrum
