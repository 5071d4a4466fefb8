#include "app/vondrel.h"

#include <commctrl.h>

#include <vector>

#include "app/make_strip.h"
#include "app/size_view.h"
#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"
#include "ui/win_text.h"

namespace kestrum {
namespace {

constexpr wchar_t kWindowClass[] = L"KestrumVondrel";
constexpr int kStripWidth = 2000;
constexpr int kControlIdBase = 1000;

UINT DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi && hwnd) return get_dpi(hwnd);
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? UINT(dpi) : 96;
}

HFONT MakeFont(const wchar_t* face, int pixel_height, bool bold) {
  return CreateFontW(-pixel_height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

HBITMAP MakeStripBitmap() {
  const std::vector<uint8_t> pixels = MakeStrip(kStripWidth);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kStripWidth;
  info.bmiHeader.biHeight = -kStripHeight;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) memcpy(bits, pixels.data(), pixels.size());
  return bitmap;
}

}  // namespace

Vondrel::Vondrel(UnZipper& archive) : archive_(archive) {
  static const bool registered = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Vondrel::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;

  // The window is created hidden; Run shows it.
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  hwnd_ = CreateWindowExW(0, kWindowClass, L"Kestrum", style, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                          100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) return;
  UpdateZoom(DpiOf(hwnd_));
  CreateControls();
  strip_ = MakeStripBitmap();

  // The client area gets the layout size.
  RECT r = {0, 0, zoom_.X(kLayoutWidth), zoom_.Y(kLayoutHeight)};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // Provisional contents from the executable itself.
  wchar_t exe[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
  const wchar_t* file_name = wcsrchr(exe, L'\\');
  SetWindowTextW(controls_[arch_name], file_name ? file_name + 1 : exe);
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (GetFileAttributesExW(exe, GetFileExInfoStandard, &attributes))
    SetText(arch_size, SizeView().Format(int64_t(attributes.nFileSizeLow) |
                                         (int64_t(attributes.nFileSizeHigh) << 32)));
  SetText(lb_name, t_("Extracting files"));
  SetText(lb_lang, t_("Language:"));
  wchar_t cwd[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(DWORD(std::size(cwd)), cwd);
  SetWindowTextW(controls_[dir_path], cwd);

  load_result_ = archive_.Load();
  if (load_result_ == ST_DONE) FillFromArchive();
  SetText(bt_cancel, t_("Cancel"));
  SetText(bt_browse, t_("Browse"));
  PlaceControls();
}

Vondrel::~Vondrel() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (HFONT f : {ui_font_, ui_bold_, name_font_, desc_font_})
    if (f) DeleteObject(f);
  if (strip_) DeleteObject(strip_);
}

void Vondrel::FillFromArchive() {
  const SizeView sizes;
  SetText(arch_size, sizes.Format(int64_t(archive_.file_length)));
  // The archive's language, else the system's; English outside the nine.
  const uint32_t wanted = archive_.header.language ? archive_.header.language : CurrentLanguage();
  const LanguageRow* row = FindLanguageRow(wanted);
  if (!row) row = FindLanguageRow(kLangEnUS);
  SetCurrentLanguage(row->lang);
  // The list's face shows the interface language.
  SendMessageW(controls_[language], CB_SETCURSEL, WPARAM(row - LanguageTable), 0);
  SetText(arch_name, archive_.archive_name);
  SetText(lb_name, t_("Extracting files"));
  SetText(lb_lang, t_("Language:"));
  SetText(lb_desc, t_("Description"));
  SetText(lb_view, t_("Kind:"));
  SetText(lb_path, t_("Path:"));
  SetText(bt_browse, t_("Browse"));
  SetText(bt_cancel, t_("Cancel"));
}

void Vondrel::CreateControls() {
  MakeFonts();
  const LayoutItem* items = CommonLayout();
  for (int i = 0; i < kControlCount; ++i) {
    const LayoutItem& item = items[i];
    const wchar_t* cls = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    switch (item.kind) {
      case ControlKind::kLabel:
        cls = WC_STATICW;
        style |=
            SS_NOPREFIX | SS_ENDELLIPSIS | (item.align == TextAlign::kCenter ? SS_CENTER : SS_LEFT);
        break;
      case ControlKind::kButton:
        cls = WC_BUTTONW;
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::kDropList:
        cls = WC_COMBOBOXW;
        style |= WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
        break;
      case ControlKind::kEdit:
        cls = WC_EDITW;
        style |= ES_AUTOHSCROLL | ES_READONLY;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      default:
        continue;  // lists, rich texts and the progress bar come with the full window
    }
    controls_[i] = CreateWindowExW(ex_style, cls, L"", style, 0, 0, 10, 10, hwnd_,
                                   reinterpret_cast<HMENU>(INT_PTR(kControlIdBase + i)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(controls_[i], WM_SETFONT, WPARAM(ui_font_), FALSE);
    if (item.design_text) SetText(item.id, t_(item.design_text));
  }
  // Not shown until their features arrive.
  for (const LanguageRow& row : LanguageTable)
    SendMessageW(controls_[language], CB_ADDSTRING, 0, LPARAM(ui::Wide(row.display_name).c_str()));
  for (ControlId hidden : {bt_extract, bt_catalog, lb_desc, lb_view})
    if (controls_[hidden]) ShowWindow(controls_[hidden], SW_HIDE);
  SendMessageW(controls_[arch_name], WM_SETFONT, WPARAM(name_font_), FALSE);
  SendMessageW(controls_[arch_size], WM_SETFONT, WPARAM(name_font_), FALSE);
  SendMessageW(controls_[lb_desc], WM_SETFONT, WPARAM(desc_font_), FALSE);
  SendMessageW(controls_[bt_catalog], WM_SETFONT, WPARAM(ui_bold_), FALSE);
}

void Vondrel::MakeFonts() {
  for (HFONT f : {ui_font_, ui_bold_, name_font_, desc_font_})
    if (f) DeleteObject(f);
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW base = metrics.lfMessageFont;
  base.lfHeight = MulDiv(base.lfHeight, int(dpi_), 96);
  ui_font_ = CreateFontIndirectW(&base);
  base.lfWeight = FW_BOLD;
  ui_bold_ = CreateFontIndirectW(&base);
  name_font_ = MakeFont(L"Tahoma", MulDiv(16, int(dpi_), 96), true);
  desc_font_ = MakeFont(L"Tahoma", MulDiv(12, int(dpi_), 96), true);
}

void Vondrel::UpdateZoom(UINT dpi) {
  dpi_ = dpi ? dpi : 96;
  zoom_ = LayoutZoom{int(dpi_), 96, int(dpi_), 96};
}

void Vondrel::PlaceControls() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const LayoutItem* items = CommonLayout();
  HDWP batch = BeginDeferWindowPos(kControlCount);
  for (int i = 0; i < kControlCount; ++i) {
    if (!controls_[i]) continue;
    const Rect r = Place(items[i].h, items[i].v, client.right, client.bottom, zoom_);
    // A drop list's height is that of its opened list.
    const int height = items[i].kind == ControlKind::kDropList ? r.Height() * 10 : r.Height();
    if (batch)
      batch = DeferWindowPos(batch, controls_[i], nullptr, r.left, r.top, r.Width(), height,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (batch) EndDeferWindowPos(batch);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Vondrel::SetText(ControlId id, const std::string& utf8) {
  if (controls_[id]) SetWindowTextW(controls_[id], ui::Wide(utf8).c_str());
}

void Vondrel::Paint(HDC dc, const RECT& client) {
  // Drawn off screen and copied in one go, so resizing does not flicker.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, canvas);
  FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
  if (strip_) {
    HDC strip_dc = CreateCompatibleDC(dc);
    HGDIOBJ old_strip = SelectObject(strip_dc, strip_);
    for (int x = 0; x < client.right; x += kStripWidth)
      BitBlt(memory, x, client.bottom - kStripHeight, kStripWidth, kStripHeight, strip_dc, 0, 0,
             SRCCOPY);
    SelectObject(strip_dc, old_strip);
    DeleteDC(strip_dc);
  }
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(canvas);
  DeleteDC(memory);
}

void Vondrel::OnCancel() {
  DestroyWindow(hwnd_);
}

void Vondrel::Run() {
  if (!hwnd_) return;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetFocus(controls_[bt_cancel]);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LRESULT CALLBACK Vondrel::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Vondrel*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Vondrel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY && self) {
    self->hwnd_ = nullptr;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self = nullptr;
  }
  return self ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Vondrel::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      PlaceControls();
      return 0;
    case WM_GETMINMAXINFO: {
      // The window grows but never shrinks below the layout size.
      RECT r = {0, 0, zoom_.X(kLayoutWidth), zoom_.Y(kLayoutHeight)};
      AdjustWindowRectEx(&r, DWORD(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE, 0);
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
      return 0;
    }
    case WM_DPICHANGED: {
      UpdateZoom(HIWORD(wp));
      MakeFonts();
      for (int i = 0; i < kControlCount; ++i)
        if (controls_[i]) SendMessageW(controls_[i], WM_SETFONT, WPARAM(ui_font_), FALSE);
      SendMessageW(controls_[arch_name], WM_SETFONT, WPARAM(name_font_), FALSE);
      SendMessageW(controls_[arch_size], WM_SETFONT, WPARAM(name_font_), FALSE);
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT client;
      GetClientRect(hwnd_, &client);
      Paint(dc, client);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkMode(HDC(wp), TRANSPARENT);
      return LRESULT(GetSysColorBrush(COLOR_BTNFACE));
    case WM_COMMAND:
      if (LOWORD(wp) == kControlIdBase + bt_cancel || LOWORD(wp) == IDCANCEL) OnCancel();
      return 0;
    case WM_CLOSE:
      OnCancel();  // the close box asks the same way as Cancel
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace kestrum
