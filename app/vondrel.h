// The main window: the archive's name and size, language, path and the
// buttons, laid out from the form and kept in place as the window resizes.
#pragma once

#include <windows.h>

#include <string>

#include "app/common_layout.h"
#include "archive/unzipper.h"

namespace kestrum {

class Vondrel {
 public:
  // The start-up sequence: creates the window and its controls (hidden),
  // loads the archive and fills the window from it.
  explicit Vondrel(UnZipper& archive);
  ~Vondrel();
  Vondrel(const Vondrel&) = delete;
  Vondrel& operator=(const Vondrel&) = delete;

  // What Load answered; the window runs only when it was 0.
  int load_result() const { return load_result_; }
  // Shows the window and runs its message loop until it is closed.
  void Run();
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void MakeFonts();
  void PlaceControls();
  void Paint(HDC dc, const RECT& client);
  void SetText(ControlId id, const std::string& utf8);
  void UpdateZoom(UINT dpi);
  void FillFromArchive();
  void OnCancel();

  UnZipper& archive_;
  HWND hwnd_ = nullptr;
  HWND controls_[kControlCount] = {};
  HFONT ui_font_ = nullptr, ui_bold_ = nullptr, name_font_ = nullptr, desc_font_ = nullptr;
  LayoutZoom zoom_;
  UINT dpi_ = 96;
  HBITMAP strip_ = nullptr;
  int shown_state = ST_READY;
  int load_result_ = ST_FAILED;
};

}  // namespace kestrum
