#include "app/version_dlg.h"

#include <commctrl.h>

#include <memory>
#include <string>

#include "view/archive_reference.h"
#include "view/placement.h"
#include "i18n/translate.h"
#include "images/image_list.h"
#include "ui/gdi_scope.h"
#include "ui/interface_zoom.h"
#include "ui/picture_bitmap.h"
#include "ui/rich_label.h"
#include "platform/win_text.h"

namespace kestrum {
namespace {

constexpr wchar_t kClass[] = L"KestrumVersion";
constexpr int kWidth = 400, kHeight = 160;  // layout units

struct Views {
  ui::RichLabel website;
  ui::BitmapPicture logo;
  HFONT font = nullptr;
  HICON icon = nullptr;
  LayoutZoom zoom{96, 96, 96, 96};
  ~Views() {
    if (font) DeleteObject(font);
    if (icon) DestroyIcon(icon);
  }
};

}  // namespace

void VersionDlg::Run(HWND owner) {
  RegisterOwnClass(kClass, LoadCursorW(nullptr, IDC_ARROW));
  auto views = std::make_unique<Views>();
  views_ = views.get();
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  views->zoom = ui::InterfaceZoom(metrics.lfMessageFont, ui::ScreenDpi());
  const LayoutZoom& zoom = views->zoom;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  RECT frame = {0, 0, zoom.X(kWidth), zoom.Y(kHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  RECT around = {};
  if (owner) GetWindowRect(owner, &around);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClass, L"Kestrum ", style,
                          owner ? (around.left + around.right - w) / 2 : CW_USEDEFAULT,
                          owner ? (around.top + around.bottom - h) / 2 : CW_USEDEFAULT, w, h, owner,
                          nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) return;
  const Picture& icon = DialogImages().MaxIcon();
  views->icon = ui::MakeIcon(icon.width, icon.height, icon.bgra);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, LPARAM(views->icon));
  const Picture& logo = DialogImages().KX_logo();
  views->logo.Set(logo.width, logo.height, logo.bgra);

  views->font = CreateFontIndirectW(&metrics.lfMessageFont);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto add = [&](const wchar_t* cls, const std::string& text, DWORD extra, int id,
                       HPlacement hp, VPlacement vp) {
    const Rect r = Place(hp, vp, zoom.X(kWidth), zoom.Y(kHeight), zoom);
    HWND c =
        CreateWindowExW(0, cls, win::Wide(text).c_str(), WS_CHILD | WS_VISIBLE | extra, r.left,
                        r.top, r.Width(), r.Height(), hwnd_, HMENU(INT_PTR(id)), instance, nullptr);
    SendMessageW(c, WM_SETFONT, WPARAM(views->font), FALSE);
    return c;
  };
  add(WC_STATICW, "Kestrum v1020", SS_NOPREFIX, 1, Left(176, 100), Top(32, 20));
  // To the dialog's right margin and two lines high: "Fecha de compilación"
  // and the date and time take more than one line of the width.
  add(WC_STATICW, std::string(t_("Build time")) + " " + __DATE__ + " " + __TIME__, SS_NOPREFIX, 2,
      Right(12, 212), Top(54, 28));
  add(WC_STATICW, t_("Web Site:"), SS_NOPREFIX, 3, Left(176, 60), Top(84, 16));
  HWND ok = add(WC_BUTTONW, t_("OK"), WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, HCenter(80, 0),
                Bottom(12, 24));
  views->website.Create(hwnd_, 4);
  views->website.SetBaseFont(views->font);
  const Rect link = Place(Left(240, 120), Top(84, 16), zoom.X(kWidth), zoom.Y(kHeight), zoom);
  MoveWindow(views->website.hwnd(), link.left, link.top, link.Width(), link.Height(), FALSE);
  views->website.SetQtf(std::string("[1; [^") + kServiceSite + "^; " + kServiceSiteName + "]]");
  ShowWindow(views->website.hwnd(), SW_SHOW);

  const bool owner_enabled = owner && IsWindowEnabled(owner);
  if (owner_enabled) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(ok);
  MSG msg;
  while (!done_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner_enabled) EnableWindow(owner, TRUE);
  DestroyWindow(hwnd_);
  views_ = nullptr;
}

LRESULT VersionDlg::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  auto* views = static_cast<Views*>(views_);
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) done_ = true;
      return 0;
    case WM_CLOSE:
      done_ = true;
      return 0;
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT: {
      // The grey body with the logo on the left; the link label draws over it.
      HDC dc = HDC(wp);
      const LayoutZoom zoom = views ? views->zoom : LayoutZoom{96, 96, 96, 96};
      RECT all = {0, 0, zoom.X(600), zoom.Y(200)};
      FillRect(dc, &all, ui::GdiObject<HBRUSH>(CreateSolidBrush(RGB(240, 240, 240))));
      if (views) ui::DrawBitmap(dc, views->logo.get(), zoom.X(36), 0, zoom.X(134), zoom.X(120));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
      SetBkMode(HDC(wp), TRANSPARENT);
      return LRESULT(GetStockObject(NULL_BRUSH));
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

namespace {

// Ctrl+I exactly (no Shift, no Alt), in any window of the thread: the About
// dialog, and the key goes no further.
LRESULT CALLBACK KeyHookProc(int code, WPARAM wp, LPARAM lp) {
  auto* msg = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && msg->message == WM_KEYDOWN && msg->wParam == 'I' &&
      (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_SHIFT) & 0x8000) &&
      !(GetKeyState(VK_MENU) & 0x8000) && msg->hwnd) {
    msg->message = WM_NULL;
    HWND owner = GetAncestor(msg->hwnd, GA_ROOT);
    VersionDlg dialog;
    dialog.Run(owner);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

void InstallKeyHook() {
  thread_local HHOOK hook = nullptr;
  if (!hook) hook = SetWindowsHookExW(WH_GETMESSAGE, &KeyHookProc, nullptr, GetCurrentThreadId());
}

}  // namespace kestrum
