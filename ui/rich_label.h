// A short piece of QTF rich text (a count line, a link, a message of a few
// lines, broken between words) painted by us over
// the parent's own background, so it sits on a gradient or a picture without
// a rectangle of its own. The parent paints its background for it on
// WM_PRINTCLIENT. Text goes out through GDI, which draws letters one by one
// (no ligatures), in the sizes, faces, weights and colours of the runs.
//
// Links: the hand cursor and an underline while the mouse is over them; with
// a link the label is a tab stop, shows a focus rectangle, and Enter or Space
// opens its first link; a click opens the link under the mouse.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/own_window.h"
#include "view/rich_text/document.h"

namespace kestrum::ui {

class RichLabel : public OwnWindow {
 public:
  using LinkHandler = std::function<void(const std::string& url)>;

  RichLabel() = default;
  RichLabel(const RichLabel&) = delete;
  RichLabel& operator=(const RichLabel&) = delete;
  ~RichLabel() override;

  // A hidden child of parent with the control id.
  bool Create(HWND parent, int id);
  void SetQtf(const std::string& qtf);
  // The font of text size index 2 and of text without a size.
  void SetBaseFont(HFONT font);
  void SetTextColor(COLORREF color);
  void SetLinkColor(COLORREF color);
  // Called with the target of an opened link; by default the shell opens it.
  void SetLinkHandler(LinkHandler handler) { on_link_ = std::move(handler); }

 private:
  struct Piece {
    std::wstring text;
    rich_text::Format format;
    int line = 0;    // its paragraph
    RECT rect = {};  // in the client area, set by Layout
  };
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  void Rebuild();
  void Layout(HDC dc);
  void Paint(HDC dc);
  HFONT FontFor(const rich_text::Format& format);
  int LinkAt(POINT client) const;
  void Open(int link);
  void ClearFonts();

  rich_text::Document doc_;
  std::vector<Piece> pieces_;                 // the runs, rect unused
  std::vector<Piece> laid_;                   // the runs or their parts as Layout placed them
  std::vector<rich_text::Align> line_align_;  // of each paragraph
  int laid_width_ = -1;                       // the width Layout placed the pieces for
  LOGFONTW base_ = {};
  COLORREF text_color_ = 0, link_color_ = RGB(0, 0, 255);
  struct CachedFont {
    rich_text::Format format;
    HFONT font;
  };
  std::vector<CachedFont> fonts_;
  int hot_link_ = -1, pressed_link_ = -1;
  bool focused_ = false, tracking_ = false;
  LinkHandler on_link_;
};

}  // namespace kestrum::ui
