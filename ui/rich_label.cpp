#include "ui/rich_label.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdint>

#include "platform/win_text.h"
#include "ui/gdi_scope.h"
#include "view/rich_text/qtf.h"
#include "view/rich_text/rtf.h"
#include "view/rich_text/wrap.h"

namespace kestrum::ui {

namespace {

constexpr wchar_t kClass[] = L"KestrumRichLabel";

// How wide text comes out when drawn with the DC's font: the text is drawn
// once into a scratch bitmap to find where its ink ends, and DrawnRunWidth
// weighs that against the metrics. The bitmap leaves room for text drawn up
// to a quarter wider than its metrics.
int DrawnWidth(HDC dc, const std::wstring& text) {
  SIZE full = {};
  GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &full);
  const size_t inked = text.find_last_not_of(L' ') + 1;
  if (inked == 0 || full.cx <= 0) return int(full.cx);
  SIZE measured = {};
  GetTextExtentPoint32W(dc, text.c_str(), int(inked), &measured);
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  const int margin = int(tm.tmHeight), width = int(measured.cx) * 5 / 4 + 2 * margin,
            height = int(tm.tmHeight);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  MemoryDC scratch(dc);
  GdiObject<HBITMAP> surface(CreateDIBSection(scratch, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!surface || !bits) return int(full.cx);
  Selection selected_bitmap(scratch, surface);
  Selection selected_font(scratch, GetCurrentObject(dc, OBJ_FONT));
  const RECT all = {0, 0, width, height};
  FillRect(scratch, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
  SetBkMode(scratch, TRANSPARENT);
  ::SetTextColor(scratch, RGB(0, 0, 0));
  ExtTextOutW(scratch, margin, 0, 0, nullptr, text.c_str(), UINT(inked), nullptr);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  int right = -1;
  for (int y = 0; y < height; ++y)
    for (int x = width - 1; x > right; --x)
      if ((pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF) != 0xFFFFFF) right = x;
  // The ink ends a pixel or so before the advance: the last inked column and
  // one more.
  return rich_text::DrawnRunWidth(int(full.cx), int(measured.cx),
                                  right < 0 ? 0 : right + 2 - margin);
}

}  // namespace

RichLabel::~RichLabel() {
  if (hwnd_) DestroyWindow(hwnd_);
  ClearFonts();
}

bool RichLabel::Create(HWND parent, int id) {
  RegisterOwnClass(kClass);
  CreateWindowExW(0, kClass, L"", WS_CHILD, 0, 0, 0, 0, parent, HMENU(INT_PTR(id)),
                  GetModuleHandleW(nullptr), this);
  if (!hwnd_) return false;
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  base_ = metrics.lfMessageFont;
  text_color_ = GetSysColor(COLOR_WINDOWTEXT);
  return true;
}

void RichLabel::SetQtf(const std::string& qtf) {
  doc_ = rich_text::ParseQtf(qtf);
  Rebuild();
}

void RichLabel::SetBaseFont(HFONT font) {
  if (!font || !GetObjectW(font, sizeof base_, &base_)) return;
  ClearFonts();
  Rebuild();
}

void RichLabel::SetTextColor(COLORREF color) {
  text_color_ = color;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void RichLabel::SetLinkColor(COLORREF color) {
  link_color_ = color;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void RichLabel::ClearFonts() {
  laid_width_ = -1;
  for (const CachedFont& f : fonts_) DeleteObject(f.font);
  fonts_.clear();
}

// Pieces are the runs, one line per paragraph. The window text is the plain
// text, for tests and screen readers; with a link the label is a tab stop.
void RichLabel::Rebuild() {
  pieces_.clear();
  laid_.clear();
  line_align_.clear();
  laid_width_ = -1;
  hot_link_ = pressed_link_ = -1;
  bool has_link = false;
  for (size_t p = 0; p < doc_.paragraphs.size(); ++p) {
    line_align_.push_back(doc_.paragraphs[p].align);
    for (const rich_text::Run& run : doc_.paragraphs[p].runs) {
      pieces_.push_back({win::Wide(run.text), run.format, int(p), {}});
      has_link |= run.format.link >= 0;
    }
  }
  if (!hwnd_) return;
  SetWindowTextW(hwnd_, win::Wide(rich_text::PlainText(doc_)).c_str());
  LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  style = has_link ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
  SetWindowLongW(hwnd_, GWL_STYLE, style);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

HFONT RichLabel::FontFor(const rich_text::Format& format) {
  for (const CachedFont& f : fonts_)
    if (f.format == format) return f.font;
  LOGFONTW lf = base_;
  const LONG base_pixels = std::max<LONG>(1, std::labs(base_.lfHeight));
  // The size indexes keep their proportions around index 2, the base font.
  lf.lfHeight =
      -std::max(1, (rich_text::SizeTwips(format.size, int(base_pixels) * 100) + 50) / 100);
  lf.lfWidth = 0;
  if (format.bold) lf.lfWeight = FW_BOLD;
  lf.lfItalic = format.italic;
  lf.lfUnderline = FALSE;  // drawn by Paint
  lf.lfStrikeOut = format.strike;
  const std::string& face = format.face >= 0 && size_t(format.face) < doc_.faces.size()
                                ? doc_.faces[size_t(format.face)]
                                : std::string();
  if (!face.empty()) {
    const std::wstring wide = win::Wide(face);
    lstrcpynW(lf.lfFaceName, wide.c_str(), LF_FACESIZE);
  }
  HFONT font = CreateFontIndirectW(&lf);
  fonts_.push_back({format, font});
  return font;
}

// The runs are wrapped again when the width changes, measured in their fonts
// as they are drawn.
void RichLabel::Layout(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  if (laid_width_ == client.right) return;
  laid_width_ = client.right;
  std::vector<rich_text::WrapRun> runs;
  runs.reserve(pieces_.size());
  for (const Piece& piece : pieces_) runs.push_back({piece.text, piece.line});
  const auto select = [&](size_t run) { SelectObject(dc, FontFor(pieces_[run].format)); };
  rich_text::WrapMeasure measure;
  measure.metrics = [&](size_t run, int& ascent, int& descent) {
    select(run);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    ascent = int(tm.tmAscent);
    descent = int(tm.tmDescent);
  };
  measure.width = [&](size_t run, const std::wstring& text) {
    select(run);
    return DrawnWidth(dc, text);
  };
  measure.advance = [&](size_t run, const std::wstring& text, size_t n) {
    select(run);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), int(n), &size);
    return int(size.cx);
  };
  measure.fit = [&](size_t run, const std::wstring& text, int room) {
    select(run);
    INT fit = 0;
    SIZE unused;
    GetTextExtentExPointW(dc, text.c_str(), int(text.size()), room, &fit, nullptr, &unused);
    return size_t(std::max(0, fit));
  };
  laid_.clear();
  for (rich_text::PlacedRun& placed : WrapRuns(runs, line_align_, client.right, measure)) {
    Piece piece = pieces_[placed.run];
    piece.text = std::move(placed.text);
    piece.rect = {placed.left, placed.top, placed.right, placed.bottom};
    laid_.push_back(std::move(piece));
  }
}

void RichLabel::Paint(HDC target) {
  RECT client;
  GetClientRect(hwnd_, &client);
  MemoryDC dc(target);
  // A DIB section, like the one DrawnWidth measures in: text comes out the
  // same in both (a device bitmap may render glyphs another way).
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER),
                    std::max(1L, client.right),
                    -std::max(1L, client.bottom),
                    1,
                    32,
                    BI_RGB,
                    0,
                    0,
                    0,
                    0,
                    0};
  void* bits = nullptr;
  GdiObject<HBITMAP> surface(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  Selection selected_bitmap(dc, surface);
  // The parent's pixels under the label, drawn by the parent itself.
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  HWND parent = GetParent(hwnd_);
  POINT origin = {0, 0};
  MapWindowPoints(hwnd_, parent, &origin, 1);
  POINT old_origin;
  SetViewportOrgEx(dc, -origin.x, -origin.y, &old_origin);
  SendMessageW(parent, WM_PRINTCLIENT, WPARAM(HDC(dc)), PRF_CLIENT);
  SetViewportOrgEx(dc, old_origin.x, old_origin.y, nullptr);

  Selection selected_font(dc, GetStockObject(DEFAULT_GUI_FONT));
  Layout(dc);
  SetBkMode(dc, TRANSPARENT);
  for (const Piece& piece : laid_) {
    const bool link = piece.format.link >= 0;
    const bool hot = link && piece.format.link == hot_link_;
    // Underlines are drawn here, as wide as the text comes out: the font's
    // own would follow its metrics, which may be wider (see DrawnWidth).
    SelectObject(dc, FontFor(piece.format));
    COLORREF color = text_color_;
    if (piece.format.color)
      color = RGB(piece.format.color->r, piece.format.color->g, piece.format.color->b);
    if (link) color = link_color_;
    ::SetTextColor(dc, color);
    ExtTextOutW(dc, piece.rect.left, piece.rect.top, 0, nullptr, piece.text.c_str(),
                UINT(piece.text.size()), nullptr);
    if ((piece.format.underline || hot) && !piece.text.empty()) {
      TEXTMETRICW tm;
      GetTextMetricsW(dc, &tm);
      const int thickness = std::max(1, int(tm.tmHeight) / 14);
      const RECT line = {piece.rect.left, piece.rect.top + tm.tmAscent + 1, piece.rect.right - 1,
                         piece.rect.top + tm.tmAscent + 1 + thickness};
      FillRect(dc, &line, GdiObject<HBRUSH>(CreateSolidBrush(color)));
    }
  }
  if (focused_) {
    for (const Piece& piece : laid_) {
      if (piece.format.link < 0) continue;
      RECT focus = piece.rect;
      InflateRect(&focus, 1, 0);
      ::SetTextColor(dc, RGB(0, 0, 0));
      DrawFocusRect(dc, &focus);
      break;
    }
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
}

int RichLabel::LinkAt(POINT client) const {
  for (const Piece& piece : laid_)
    if (piece.format.link >= 0 && PtInRect(&piece.rect, client)) return piece.format.link;
  return -1;
}

void RichLabel::Open(int link) {
  if (link < 0 || size_t(link) >= doc_.links.size()) return;
  const std::string& url = doc_.links[size_t(link)];
  if (on_link_) {
    on_link_(url);
  } else {
    ShellExecuteW(nullptr, L"open", win::Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

LRESULT RichLabel::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_SIZE:
      laid_width_ = -1;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, hot_link_ >= 0 ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE: {
      const int link = LinkAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      if (!tracking_) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track);
      }
      if (link != hot_link_) {
        hot_link_ = link;
        SetCursor(LoadCursorW(nullptr, link >= 0 ? IDC_HAND : IDC_ARROW));
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (hot_link_ >= 0) {
        hot_link_ = -1;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONDOWN:
      pressed_link_ = LinkAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      if (pressed_link_ >= 0) SetCapture(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      const int link = LinkAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      const int pressed = pressed_link_;
      pressed_link_ = -1;
      if (GetCapture() == hwnd_) ReleaseCapture();
      if (link >= 0 && link == pressed) Open(link);
      return 0;
    }
    case WM_GETDLGCODE:
      // Enter opens the link rather than pressing the window's default button.
      if (lp && reinterpret_cast<const MSG*>(lp)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lp)->wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
      return DLGC_WANTCHARS;
    case WM_KEYDOWN:
      if (wp == VK_RETURN || wp == VK_SPACE) {
        for (const Piece& piece : pieces_) {
          if (piece.format.link < 0) continue;
          Open(piece.format.link);
          break;
        }
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      focused_ = msg == WM_SETFOCUS;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace kestrum::ui
