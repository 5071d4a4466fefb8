// The main window's own drawing, under its controls: the default background,
// the grey body, the bottom band, the header picture with the filler tiles
// beside it, and the logo once an extraction has finished. Positions are pixels
// at 96 DPI, scaled with the monitor's DPI so the window keeps its proportions.
#include "view/make_strip.h"
#include "app/vondrel.h"
#include "ui/gdi_scope.h"

namespace kestrum {

void Vondrel::Paint(HDC dc, const RECT& client) {
  // Drawn off screen and copied in one go, so resizing does not flicker.
  ui::MemoryDC canvas(dc);
  ui::GdiObject<HBITMAP> surface(CreateCompatibleBitmap(dc, client.right, client.bottom));
  ui::Selection selected(canvas, surface);

  FillRect(canvas, &client, GetSysColorBrush(COLOR_BTNFACE));
  const RECT body = {0, Px(60), Px(2000), Px(60) + Px(1200)};
  FillRect(canvas, &body, body_brush_);
  ui::DrawBitmap(canvas, strip.get(), 0, client.bottom - Px(kStripHeight), Px(strip.width()),
                 Px(strip.height()));
  ui::DrawBitmap(canvas, header_image.get(), 0, 0, Px(header_image.width()),
                 Px(header_image.height()));
  const int w = Px(header_image.width());
  for (int i = 0; i < 3; ++i)
    ui::DrawBitmap(canvas, empty_tile_.get(), w + Px(500) * i, 0, Px(empty_tile_.width()),
                   Px(empty_tile_.height()));
  // The logo only once the views that would lie over it are gone: a failed
  // run keeps them, and the logo would show in pieces between them.
  if (shown_state != ST_READY && shown_state != ST_EXTRACTING && finished_shown_)
    ui::DrawBitmap(canvas, logo_.get(), client.right - Px(320), client.bottom - Px(320), Px(300),
                   Px(260));

  BitBlt(dc, 0, 0, client.right, client.bottom, canvas, 0, 0, SRCCOPY);
}

void Vondrel::DrawExtractButton(const DRAWITEMSTRUCT& item) {
  const RECT& r = item.rcItem;
  HDC dc = item.hDC;
  // The face may be narrower or wider than the button at other zooms: it is
  // scaled to the button, and moved by (1, -1) while pressed.
  const bool pressed = item.itemState & ODS_SELECTED;
  FillRect(dc, &r, body_brush_);
  ui::DrawBitmap(dc, button_image.get(), r.left + (pressed ? 1 : 0), r.top - (pressed ? 1 : 0),
                 r.right - r.left, r.bottom - r.top);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace kestrum
