// The overwrite question as a window of its own, run with its own message loop
// on the thread that asks (the extraction worker), modal over the main window,
// whose thread goes on painting and ticking.
#include "app/change_file_dlg.h"

#include <commctrl.h>

#include <memory>

#include "view/change_file_text.h"
#include "view/placement.h"
#include "i18n/translate.h"
#include "images/image_list.h"
#include "ui/gdi_scope.h"
#include "ui/interface_zoom.h"
#include "ui/open_dialogs.h"
#include "ui/picture_bitmap.h"
#include "ui/rich_text_view.h"
#include "platform/win_text.h"

namespace kestrum {
namespace {

constexpr wchar_t kClass[] = L"KestrumChangeFile";
// Room for five lines of the question: the German one takes four.
constexpr int kWidth = 400, kHeight = 160;  // layout units
constexpr int kHintId = 10, kFileId = 11;

bool IsFile(const std::string& path) {
  const DWORD a = GetFileAttributesW(win::Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

struct ChangeFileDlg::Views {
  ui::RichTextView hint;
  HFONT hint_font = nullptr;
  HICON small_icon = nullptr, large_icon = nullptr;
  ~Views() {
    if (hint_font) DeleteObject(hint_font);
    if (small_icon) DestroyIcon(small_icon);
    if (large_icon) DestroyIcon(large_icon);
  }
};

ChangeFileDlg::ChangeFileDlg(const std::string& existing, const std::string& refused)
    : new_path_(existing), refused_(refused) {
  const size_t cut = existing.find_last_of("\\/:");
  folder_ = cut == std::string::npos ? std::string() : existing.substr(0, cut + 1);
  name_ = existing.substr(folder_.size());
}

int ChangeFileDlg::Run(HWND owner) {
  RegisterOwnClass(kClass, LoadCursorW(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_BTNFACE));
  std::unique_ptr<Views> views(new Views);
  views_ = views.get();

  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  const LayoutZoom zoom = ui::InterfaceZoom(metrics.lfMessageFont, ui::ScreenDpi());
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  RECT frame = {0, 0, zoom.X(kWidth), zoom.Y(kHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  RECT around = {};
  if (owner) GetWindowRect(owner, &around);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  const int x = owner ? (around.left + around.right - w) / 2 : CW_USEDEFAULT;
  const int y = owner ? (around.top + around.bottom - h) / 2 : CW_USEDEFAULT;
  hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClass,
                          win::Wide(t_("File already exist")).c_str(), style, x, y, w, h, owner,
                          nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) return 2;
  ui::AddOpenDialog(hwnd_);

  const Picture& min_icon = DialogImages().MinIcon();
  const Picture& max_icon = DialogImages().MaxIcon();
  views_->small_icon = ui::MakeIcon(min_icon.width, min_icon.height, min_icon.bgra);
  views_->large_icon = ui::MakeIcon(max_icon.width, max_icon.height, max_icon.bgra);
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, LPARAM(views_->small_icon));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, LPARAM(views_->large_icon));

  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  const auto place = [&](HWND control, HPlacement hp, VPlacement vp) {
    const Rect r = Place(hp, vp, zoom.X(kWidth), zoom.Y(kHeight), zoom);
    MoveWindow(control, r.left, r.top, r.Width(), r.Height(), FALSE);
    SendMessageW(control, WM_SETFONT, WPARAM(font_), FALSE);
  };
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // OK left of the centre, Rewrite right of it; OK is the default on Enter.
  ok_ = CreateWindowExW(0, WC_BUTTONW, win::Wide(t_("OK")).c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 1, 1, hwnd_,
                        HMENU(INT_PTR(IDOK)), instance, nullptr);
  rewrite_ = CreateWindowExW(0, WC_BUTTONW, win::Wide(t_("Rewrite")).c_str(),
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1, hwnd_,
                             HMENU(INT_PTR(IDCANCEL)), instance, nullptr);
  views_->hint.Create(hwnd_, kHintId);
  // The hint is written at text size 1, which stands for the ordinary
  // interface size: the base is set so that size 1 comes out at that size.
  LOGFONTW larger = metrics.lfMessageFont;
  larger.lfHeight = larger.lfHeight * 5 / 4;
  views_->hint_font = CreateFontIndirectW(&larger);
  views_->hint.SetBaseFont(views_->hint_font);
  views_->hint.SetBackground(GetSysColor(COLOR_BTNFACE));
  hint_ = views_->hint.hwnd();
  file_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, win::Wide(name_).c_str(),
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 1, 1, hwnd_,
                          HMENU(INT_PTR(kFileId)), instance, nullptr);
  place(ok_, HCenter(80, -44), Bottom(12, 24));
  place(rewrite_, HCenter(80, 44), Bottom(12, 24));
  place(hint_, Left(40, 320), Top(20, 72));
  place(file_, Left(40, 320), Top(96, 20));
  views_->hint.SetQtf(ChangeFileHint(new_path_, refused_));
  ShowWindow(hint_, SW_SHOW);

  // Modal: the owner takes no input while the question is open.
  const bool owner_enabled = owner && IsWindowEnabled(owner);
  if (owner_enabled) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(file_);
  SendMessageW(file_, EM_SETSEL, 0, -1);
  MSG msg;
  while (result_ == 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner_enabled) EnableWindow(owner, TRUE);
  ui::RemoveOpenDialog(hwnd_);
  DestroyWindow(hwnd_);
  DeleteObject(font_);
  views_ = nullptr;
  return result_ ? result_ : 2;
}

// The name typed goes into the same folder; a name under which a file exists
// too is refused, and the hint then names it.
bool ChangeFileDlg::Accept() {
  wchar_t text[1024] = {};
  GetWindowTextW(file_, text, 1024);
  new_path_ = folder_ + win::Utf8(text);
  if (IsFile(new_path_)) {
    views_->hint.SetQtf(ChangeFileHint(new_path_));
    return false;
  }
  return true;
}

void ChangeFileDlg::Finish(int result) {
  result_ = result;
}

LRESULT ChangeFileDlg::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK && Accept()) Finish(1);
      if (LOWORD(wp) == IDCANCEL) Finish(2);  // Rewrite, or Esc
      return 0;
    case WM_CLOSE:
      Finish(2);
      return 0;
    case WM_NOTIFY:
      if (views_ && views_->hint.HandleNotify(reinterpret_cast<NMHDR*>(lp))) return 0;
      break;
    case WM_CTLCOLORSTATIC:
      SetBkMode(HDC(wp), TRANSPARENT);
      return LRESULT(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace kestrum
