#include "ui/rich_text_view.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <utility>

#include "app/rich_text/qtf.h"
#include "ui/win_text.h"

namespace kestrum::ui {

namespace {

// Points of the size indexes at the markup's own scale, on which index 2 is
// 10 pt. The view keeps the proportions and makes index 2 its base font.
constexpr int kSizePoints[10] = {6, 8, 10, 12, 16, 20, 24, 28, 36, 48};
constexpr int kBasePoints = 10;

// The newest rich edit the system has: 4.1 (msftedit), else 2.0/3.0 (riched20).
const wchar_t* RichEditClass() {
  static const wchar_t* const name = []() -> const wchar_t* {
    if (LoadLibraryW(L"msftedit.dll")) return MSFTEDIT_CLASS;
    if (LoadLibraryW(L"riched20.dll")) return RICHEDIT_CLASSW;
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

void CopyFace(const std::wstring& face, WCHAR (&out)[LF_FACESIZE]) {
  const size_t n = face.size() < LF_FACESIZE - 1 ? face.size() : LF_FACESIZE - 1;
  face.copy(out, n);
  out[n] = L'\0';
}

// Hands the control its text through EM_STREAMIN as plain UTF-16, so text
// that happens to start like RTF is never taken for it.
struct TextSource {
  const std::wstring* text;
  size_t offset;  // in bytes
};

DWORD CALLBACK ReadText(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
  auto* source = reinterpret_cast<TextSource*>(cookie);
  const size_t total = source->text->size() * sizeof(wchar_t);
  size_t n = total - source->offset;
  if (n > size_t(size)) n = size_t(size);
  std::memcpy(buffer, reinterpret_cast<const BYTE*>(source->text->data()) + source->offset, n);
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
  text_color_ = GetSysColor(COLOR_WINDOWTEXT);

  HFONT font = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!font && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    font = CreateFontIndirectW(&metrics.lfMessageFont);
    SetBaseFont(font);
    DeleteObject(font);
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
  Render();
}

void RichTextView::SetBaseFont(HFONT font) {
  LOGFONTW lf = {};
  if (!font || !GetObjectW(font, sizeof(lf), &lf)) return;
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;
  const LONG pixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  if (pixels > 0) base_twips_ = MulDiv(pixels, 1440, dpi_);
  base_face_ = lf.lfFaceName;
  Render();
}

void RichTextView::SetTextColor(COLORREF color) {
  text_color_ = color;
  Render();
}

void RichTextView::SetLinkColor(COLORREF color) {
  link_color_ = color;
  Render();
}

void RichTextView::SetBackground(COLORREF color) {
  if (!hwnd_) return;
  SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, color);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void RichTextView::Render() {
  if (!hwnd_) return;
  // The control's text: paragraphs separated by CR, each a single position.
  struct Span {
    LONG start, end;
    const rich_text::Run* run;
  };
  std::wstring text;
  std::vector<Span> spans;
  std::vector<std::pair<LONG, LONG>> paragraphs;
  links_.clear();
  pressed_ = nullptr;
  for (const rich_text::Paragraph& paragraph : doc_.paragraphs) {
    if (!paragraphs.empty()) text += L'\r';
    const LONG paragraph_start = LONG(text.size());
    for (const rich_text::Run& run : paragraph.runs) {
      const LONG start = LONG(text.size());
      text += Wide(run.text);
      spans.push_back({start, LONG(text.size()), &run});
      if (run.format.link >= 0) {
        links_.push_back({start, LONG(text.size()), run.format.link,
                          MulDiv(Twips(run.format.size), dpi_, 1440)});
      }
    }
    paragraphs.emplace_back(paragraph_start, LONG(text.size()));
  }

  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  TextSource source{&text, 0};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadText;
  SendMessageW(hwnd_, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));

  CHARFORMAT2W cf = {};
  cf.cbSize = sizeof(cf);
  cf.dwMask =
      CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_COLOR | CFM_SIZE | CFM_FACE;
  cf.yHeight = base_twips_;
  cf.crTextColor = text_color_;
  CopyFace(base_face_, cf.szFaceName);
  SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));

  for (const Span& span : spans) {
    const rich_text::Format& f = span.run->format;
    cf.dwEffects = (f.bold ? CFE_BOLD : 0) | (f.italic ? CFE_ITALIC : 0) |
                   (f.underline || f.link >= 0 ? CFE_UNDERLINE : 0) |
                   (f.strike ? CFE_STRIKEOUT : 0);
    cf.yHeight = Twips(f.size);
    if (f.link >= 0) {
      cf.crTextColor = link_color_;
    } else if (f.color) {
      cf.crTextColor = RGB(f.color->r, f.color->g, f.color->b);
    } else {
      cf.crTextColor = text_color_;
    }
    const std::string& face = doc_.FaceOf(*span.run);
    CopyFace(face.empty() ? base_face_ : Wide(face), cf.szFaceName);
    SendMessageW(hwnd_, EM_SETSEL, span.start, span.end);
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  }

  PARAFORMAT2 pf = {};
  pf.cbSize = sizeof(pf);
  pf.dwMask = PFM_ALIGNMENT;
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    pf.wAlignment = ParaAlignment(doc_.paragraphs[i].align);
    SendMessageW(hwnd_, EM_SETSEL, paragraphs[i].first, paragraphs[i].second);
    SendMessageW(hwnd_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
  }
  SendMessageW(hwnd_, EM_SETSEL, 0, 0);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

LONG RichTextView::Twips(int size) const {
  if (size < 0 || size > 9) return base_twips_;
  return MulDiv(base_twips_, kSizePoints[size], kBasePoints);
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
const RichTextView::LinkRange* RichTextView::LinkAtPoint(POINT client) const {
  POINTL point = {client.x, client.y};
  const LONG nearest =
      LONG(SendMessageW(hwnd_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
  for (const LONG at : {nearest, nearest - 1}) {
    const LinkRange* range = nullptr;
    for (const LinkRange& r : links_) {
      if (at >= r.start && at < r.end) range = &r;
    }
    if (!range) continue;
    const POINT cell = PositionOf(at), next = PositionOf(at + 1);
    if (client.x < cell.x || client.y < cell.y) continue;
    if (next.y == cell.y && client.x >= next.x) continue;
    if (client.y >= cell.y + range->height * 5 / 4 + 1) continue;
    return range;
  }
  return nullptr;
}

void RichTextView::NotifyLink(const LinkRange& range, UINT mouse_msg, WPARAM wp, LPARAM lp) {
  ENLINK link = {};
  link.nmhdr.hwndFrom = hwnd_;
  link.nmhdr.idFrom = UINT_PTR(GetDlgCtrlID(hwnd_));
  link.nmhdr.code = EN_LINK;
  link.msg = mouse_msg;
  link.wParam = wp;
  link.lParam = lp;
  link.chrg = {range.start, range.end};
  SendMessageW(GetParent(hwnd_), WM_NOTIFY, link.nmhdr.idFrom, reinterpret_cast<LPARAM>(&link));
}

bool RichTextView::HandleNotify(const NMHDR* header) {
  if (!hwnd_ || header->hwndFrom != hwnd_ || header->code != EN_LINK) return false;
  const auto* link = reinterpret_cast<const ENLINK*>(header);
  if (link->msg != WM_LBUTTONUP) return true;
  for (const LinkRange& range : links_) {
    if (range.start != link->chrg.cpMin) continue;
    const std::string& url = doc_.links[size_t(range.link)];
    if (on_link_) {
      on_link_(url);
    } else {
      ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
      const POINT point = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      pressed_ = LinkAtPoint(point);
      if (pressed_) NotifyLink(*pressed_, WM_LBUTTONDOWN, wp, lp);
      return 0;
    }
    case WM_LBUTTONUP: {
      const POINT point = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const LinkRange* range = LinkAtPoint(point);
      const bool same = range && range == pressed_;
      pressed_ = nullptr;
      if (same) NotifyLink(*range, WM_LBUTTONUP, wp, lp);
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
