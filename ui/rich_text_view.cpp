#include "ui/rich_text_view.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <utility>

#include "ui/font_fallback.h"
#include "ui/gdi_scope.h"
#include "ui/png_decoder.h"
#include "view/rich_text/qtf.h"
#include "platform/win_text.h"
#include "ui/system_library.h"

namespace kestrum::ui {

namespace {

// The newest rich edit the system has: 4.1 (msftedit), else 2.0/3.0 (riched20).
const wchar_t* RichEditClass() {
  static const wchar_t* const name = []() -> const wchar_t* {
    if (LoadSystemLibrary(L"msftedit.dll")) return MSFTEDIT_CLASS;
    if (LoadSystemLibrary(L"riched20.dll")) return RICHEDIT_CLASSW;
    return nullptr;
  }();
  return name;
}

WORD ParaAlignment(rich_text::Align align) {
  switch (align) {
    case rich_text::Align::kCenter:
      return PFA_CENTER;
    case rich_text::Align::kRight:
      return PFA_RIGHT;
    case rich_text::Align::kJustify:
      return PFA_JUSTIFY;
    case rich_text::Align::kLeft:
      break;
  }
  return PFA_LEFT;
}

rich_text::Color ToColor(COLORREF c) {
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

struct ByteSource {
  const std::string* bytes;
  size_t offset;
};

DWORD CALLBACK ReadBytes(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
  auto* source = reinterpret_cast<ByteSource*>(cookie);
  size_t n = source->bytes->size() - source->offset;
  if (n > size_t(size)) n = size_t(size);
  std::memcpy(buffer, source->bytes->data() + source->offset, n);
  source->offset += n;
  *done = LONG(n);
  return 0;
}

}  // namespace

bool RichTextView::Create(HWND parent, int id, bool scroll_bar) {
  const wchar_t* cls = RichEditClass();
  if (!cls) return false;
  const DWORD style =
      WS_CHILD | ES_MULTILINE | ES_READONLY | ES_NOOLEDRAGDROP | (scroll_bar ? WS_VSCROLL : 0);
  hwnd_ = CreateWindowExW(0, cls, L"", style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  SetWindowSubclass(hwnd_, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  SendMessageW(hwnd_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
  style_.text = ToColor(GetSysColor(COLOR_WINDOWTEXT));
  style_.paper = ToColor(GetSysColor(COLOR_BTNFACE));
  style_.decode_picture = &DecodePicture;

  HFONT font = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!font && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    SetBaseFont(GdiObject<HFONT>(CreateFontIndirectW(&metrics.lfMessageFont)));
  } else {
    SetBaseFont(font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  }
  return true;
}

void RichTextView::SetQtf(const std::string& qtf) {
  SetDocument(rich_text::ParseQtf(qtf));
}

void RichTextView::SetDocument(rich_text::Document doc) {
  doc_ = std::move(doc);
  UseLinkedFaces(doc_, style_.face);
  Render();
}

void RichTextView::SetBaseFont(HFONT font) {
  LOGFONTW lf = {};
  if (!font || !GetObjectW(font, sizeof(lf), &lf)) return;
  dpi_ = ScreenDpi();
  const LONG pixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  if (pixels > 0) style_.base_twips = MulDiv(pixels, 1440, dpi_);
  style_.face = win::Utf8(lf.lfFaceName);
  Render();
}

void RichTextView::SetTextColor(COLORREF color) {
  style_.text = ToColor(color);
  Render();
}

void RichTextView::SetLinkColor(COLORREF color) {
  style_.link = ToColor(color);
  Render();
}

void RichTextView::SetBackground(COLORREF color) {
  if (!hwnd_) return;
  SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, color);
  style_.paper = ToColor(color);  // pictures with transparency are laid on it
  if (!doc_.pictures.empty()) Render();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void RichTextView::Render() {
  if (!hwnd_) return;
  style_.dpi = dpi_;
  rich_text::Rtf rtf = rich_text::ToRtf(doc_, style_);
  links_ = std::move(rtf.links);
  pressed_ = nullptr;
  ByteSource source{&rtf.text, 0};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadBytes;
  SendMessageW(hwnd_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  // Wine's reader leaves the last paragraph, which no \par ends, with the
  // alignment of the one before: set it again.
  PARAFORMAT2 last = {};
  last.cbSize = sizeof(last);
  last.dwMask = PFM_ALIGNMENT;
  last.wAlignment = ParaAlignment(doc_.paragraphs.empty() ? rich_text::Align::kLeft
                                                          : doc_.paragraphs.back().align);
  SendMessageW(hwnd_, EM_SETSEL, rtf.length, rtf.length);
  SendMessageW(hwnd_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&last));
  SendMessageW(hwnd_, EM_SETSEL, 0, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

POINT RichTextView::PositionOf(LONG character) const {
  POINTL point = {-1, -1};
  SendMessageW(hwnd_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), character);
  return {point.x, point.y};
}

// The control names a character near the point even when the point is beside
// or below all text, and depending on its version that is the character under
// the point or the nearest boundary between characters. So both characters
// around that position are checked against their cells: right of the left
// edge, left of the next character on the same line, within a line height of
// the top.
const rich_text::LinkSpan* RichTextView::LinkAtPoint(POINT client) const {
  POINTL point = {client.x, client.y};
  const LONG nearest =
      LONG(SendMessageW(hwnd_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
  for (const LONG at : {nearest, nearest - 1}) {
    const rich_text::LinkSpan* span = nullptr;
    for (const rich_text::LinkSpan& s : links_) {
      if (at >= s.start && at < s.end) span = &s;
    }
    if (!span) continue;
    const POINT cell = PositionOf(at), next = PositionOf(at + 1);
    const int height = MulDiv(rich_text::SizeTwips(span->size, style_.base_twips), dpi_, 1440);
    if (client.x < cell.x || client.y < cell.y) continue;
    if (next.y == cell.y && client.x >= next.x) continue;
    if (client.y > cell.y + height * 5 / 4) continue;
    return span;
  }
  return nullptr;
}

void RichTextView::NotifyLink(const rich_text::LinkSpan& span, UINT mouse_msg, WPARAM wp,
                              LPARAM lp) {
  ENLINK link = {};
  link.nmhdr.hwndFrom = hwnd_;
  link.nmhdr.idFrom = UINT_PTR(GetDlgCtrlID(hwnd_));
  link.nmhdr.code = EN_LINK;
  link.msg = mouse_msg;
  link.wParam = wp;
  link.lParam = lp;
  link.chrg = {span.start, span.end};
  SendMessageW(GetParent(hwnd_), WM_NOTIFY, link.nmhdr.idFrom, reinterpret_cast<LPARAM>(&link));
}

bool RichTextView::HandleNotify(const NMHDR* header) {
  if (!hwnd_ || header->hwndFrom != hwnd_ || header->code != EN_LINK) return false;
  const auto* link = reinterpret_cast<const ENLINK*>(header);
  if (link->msg != WM_LBUTTONUP) return true;
  for (const rich_text::LinkSpan& span : links_) {
    if (span.start != link->chrg.cpMin || size_t(span.link) >= doc_.links.size()) continue;
    const std::string& url = doc_.links[size_t(span.link)];
    if (on_link_) {
      on_link_(url);
    } else {
      ShellExecuteW(nullptr, L"open", win::Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    break;
  }
  return true;
}

LRESULT CALLBACK RichTextView::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                            DWORD_PTR self) {
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, SubclassProc, 1);
    reinterpret_cast<RichTextView*>(self)->hwnd_ = nullptr;
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  return reinterpret_cast<RichTextView*>(self)->Handle(msg, wp, lp);
}

LRESULT RichTextView::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFOCUS: {
      // A view, not an editor: the focus goes back where it came from.
      HWND back = reinterpret_cast<HWND>(wp);
      if (!back || !IsWindow(back)) back = GetParent(hwnd_);
      SetFocus(back);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(hwnd_, &point);
        SetCursor(LoadCursorW(nullptr, LinkAtPoint(point) ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    // The control never sees a click, so it neither selects nor takes the focus.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      pressed_ = LinkAtPoint({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      if (pressed_) NotifyLink(*pressed_, WM_LBUTTONDOWN, wp, lp);
      return 0;
    }
    case WM_LBUTTONUP: {
      const rich_text::LinkSpan* span = LinkAtPoint({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      const bool same = span && span == pressed_;
      pressed_ = nullptr;
      if (same) NotifyLink(*span, WM_LBUTTONUP, wp, lp);
      return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return 0;
  }
  return DefSubclassProc(hwnd_, msg, wp, lp);
}

}  // namespace kestrum::ui
