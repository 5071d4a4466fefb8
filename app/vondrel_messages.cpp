// The main window's messages: sizing, painting, the controls' notifications
// and commands, focus and the timer.
#include "app/vondrel.h"

#include <commctrl.h>

#include "ui/gdi_scope.h"

namespace kestrum {
namespace {

constexpr COLORREF kDescriptionLabelColor = RGB(218, 15, 94);

}  // namespace

LRESULT Vondrel::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      PlaceControls();
      return 0;
    case WM_GETMINMAXINFO: {
      // The window grows but never shrinks below the layout size.
      RECT r = {0, 0, zoom_.X(kLayoutWidth), zoom_.Y(kLayoutHeight)};
      AdjustWindowRectEx(&r, DWORD(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                         DWORD(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
      reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
      return 0;
    }
    case WM_DPICHANGED: {
      UpdateZoom();
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      PlaceControls();
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PRINTCLIENT: {
      // The background of the labels that draw themselves over it.
      RECT client;
      GetClientRect(hwnd_, &client);
      Paint(HDC(wp), client);
      return 0;
    }
    case WM_PAINT: {
      ui::PaintScope dc(hwnd_);
      RECT client;
      GetClientRect(hwnd_, &client);
      Paint(dc, client);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = HDC(wp);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, HWND(lp) == controls_[ControlId::lb_desc] ? kDescriptionLabelColor
                                                                 : GetSysColor(COLOR_WINDOWTEXT));
      if (HWND(lp) == controls_[ControlId::dir_path])
        return LRESULT(GetSysColorBrush(COLOR_WINDOW));
      return LRESULT(body_brush_);
    }
    case WM_DRAWITEM:
      if (wp == WPARAM(CommandId(ControlId::bt_extract))) {
        DrawExtractButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
      }
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      LRESULT result = 0;
      if (file_tree_view_.HandleNotify(header, &result)) return result;
      if (header->hwndFrom == file_list_view_.hwnd() && header->code == NM_DBLCLK) {
        if (reinterpret_cast<NMITEMACTIVATE*>(lp)->iItem >= 0) OnExtract();
        return 0;
      }
      if (file_list_view_.HandleNotify(header, &result)) return result;
      if (arch_desc_view_.HandleNotify(header)) return 0;
      break;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == CommandId(ControlId::bt_cancel) || id == IDCANCEL) OnCancel();
      if (id == CommandId(ControlId::bt_extract)) OnExtract();
      if (id == CommandId(ControlId::bt_browse)) OnBrowse();
      if (id == CommandId(ControlId::bt_catalog)) OnCatalog();
      if ((id == kViewOptionId || id == kViewOptionId + 1) && HIWORD(wp) == BN_CLICKED) OnView();
      if (id == CommandId(ControlId::language)) {
        // Every pick runs the language change, the shown language too: a
        // pick from the opened list ends with CBN_SELENDOK whether or not the
        // selection moved; arrow keys on the closed list only change it.
        const bool dropped = SendMessageW(controls_[ControlId::language], CB_GETDROPPEDSTATE, 0, 0);
        if (HIWORD(wp) == CBN_SELENDOK || (HIWORD(wp) == CBN_SELCHANGE && !dropped)) OnLanguage();
      }
      // Enter: the dialog manager asks for the default button (IDOK); as
      // everywhere in Windows, the focused button is the one that acts.
      if (id == IDOK) {
        HWND focus = GetFocus();
        for (ControlId button : {ControlId::bt_extract, ControlId::bt_cancel, ControlId::bt_browse,
                                 ControlId::bt_catalog})
          if (focus && focus == controls_[button] && IsWindowVisible(focus))
            SendMessageW(focus, BM_CLICK, 0, 0);
      }
      return 0;
    }
    case WM_ACTIVATE:
      // The focused control gets the focus back after a dialog or another
      // window, so Enter still presses the button it pressed before.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) focus_before_ = focus;
      } else if (focus_before_ && IsWindow(focus_before_) && IsWindowVisible(focus_before_)) {
        SetFocus(focus_before_);
        return 0;
      }
      break;
    case WM_TIMER:
      OnTimer();
      return 0;
    case WM_CLOSE:
      OnCancel();  // the close box asks the same way as Cancel
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kProgressTimer);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace kestrum
