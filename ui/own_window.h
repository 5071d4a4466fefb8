// The glue between a window class of our own and the C++ object behind it.
// The object is passed as the creation parameter of CreateWindowExW; the
// shared window procedure stores it with the window and routes every message
// to its Handle. From WM_NCDESTROY on, the object no longer receives messages
// and its hwnd_ is cleared, so a destroyed window is never touched again.
#pragma once

#include <windows.h>

namespace kestrum::ui {

class OwnWindow {
 public:
  virtual ~OwnWindow() = default;
  HWND hwnd() const { return hwnd_; }

 protected:
  // Register the window class with this procedure.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* self = static_cast<OwnWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(self));
      self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<OwnWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY && self) {
      self->hwnd_ = nullptr;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self = nullptr;
    }
    return self ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
  }

  // Registers a window class of ours, routed through WindowProc; a class
  // already registered under that name is left as it is.
  static void RegisterOwnClass(const wchar_t* name, HCURSOR cursor = nullptr,
                               HBRUSH background = nullptr) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
  }

  // Handles one message; unhandled ones go to DefWindowProcW(hwnd_, ...).
  virtual LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) = 0;

  HWND hwnd_ = nullptr;
};

}  // namespace kestrum::ui
