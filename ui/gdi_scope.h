// Scoped device contexts and GDI objects: each gives back what it took when
// it leaves scope, so no path can forget a ReleaseDC, a DeleteDC, a
// DeleteObject or the selection to restore. Declare them in the order they
// are taken; they are given back in reverse.
#pragma once

#include <windows.h>

namespace kestrum::ui {

// The screen's device context.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  operator HDC() const { return dc_; }

 private:
  HDC dc_;
};

// A memory device context compatible with `like` (the screen when null).
class MemoryDC {
 public:
  explicit MemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
  ~MemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  operator HDC() const { return dc_; }

 private:
  HDC dc_;
};

// An object selected into a device context; the one it replaced comes back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selection() {
    if (old_) SelectObject(dc_, old_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A GDI object (bitmap, font, brush) owned here and deleted at the end.
template <class Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle) : handle_(handle) {}
  ~GdiObject() {
    if (handle_) DeleteObject(handle_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  operator Handle() const { return handle_; }
  // Hands the object on to the caller, who deletes it.
  Handle release() {
    Handle h = handle_;
    handle_ = nullptr;
    return h;
  }

 private:
  Handle handle_;
};

// WM_PAINT's BeginPaint and EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
  ~PaintScope() { EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  operator HDC() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_ = {};
  HDC dc_;
};

// The screen's DPI, for a window that is not yet there to ask.
inline int ScreenDpi() {
  ScreenDC screen;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

}  // namespace kestrum::ui
