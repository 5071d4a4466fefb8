// A read-only view of QTF rich text: the system's rich edit control showing a
// parsed document, with links that open in the browser. It has no border and
// never takes the keyboard focus or shows a caret.
//
// The document goes in as RTF in one piece, the letters its faces lack in
// the faces the system links to them (see font_fallback.h). Links are
// underlined text in the link colour rather than CFE_LINK text, which the
// control draws in its own blue whatever colour it is given; the view
// hit-tests them itself. A click on
// a link still reaches the parent as EN_LINK (WM_LBUTTONDOWN, then
// WM_LBUTTONUP, chrg the link's range), which the parent hands to
// HandleNotify.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "view/rich_text/document.h"
#include "view/rich_text/rtf.h"

namespace kestrum::ui {

class RichTextView {
 public:
  using LinkHandler = std::function<void(const std::string& url)>;

  // Creates the control as a hidden child of parent; false when neither rich
  // edit library is available. The base font is the parent's font (WM_GETFONT)
  // or the system's message font. With scroll_bar, a vertical scroll bar shows
  // while the text is taller than the control.
  bool Create(HWND parent, int id, bool scroll_bar = false);
  HWND hwnd() const { return hwnd_; }

  void SetQtf(const std::string& qtf);
  void SetDocument(rich_text::Document doc);

  // All of these re-render the current text.
  // The font of text size index 2 and of text without a size; the other
  // indexes scale from it (rich_text::SizeTwips).
  void SetBaseFont(HFONT font);
  void SetTextColor(COLORREF color);
  // Link text is drawn in this colour whatever colour the markup gives it.
  void SetLinkColor(COLORREF color);
  // The colour behind the text, COLOR_BTNFACE until set. The control always
  // paints it: the rich edit ignores WS_EX_TRANSPARENT.
  void SetBackground(COLORREF color);

  // Called with the target of a clicked link; by default the target is
  // opened with the shell ("open").
  void SetLinkHandler(LinkHandler handler) { on_link_ = std::move(handler); }

  // For the parent's WM_NOTIFY; true when the notification was this view's
  // (the parent then returns 0).
  bool HandleNotify(const NMHDR* header);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void Render();
  const rich_text::LinkSpan* LinkAtPoint(POINT client) const;
  POINT PositionOf(LONG character) const;
  void NotifyLink(const rich_text::LinkSpan& span, UINT mouse_msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  rich_text::Document doc_;
  rich_text::RtfStyle style_;
  std::vector<rich_text::LinkSpan> links_;        // where doc_'s links are in the control
  const rich_text::LinkSpan* pressed_ = nullptr;  // the link the left button went down on
  LinkHandler on_link_;
  int dpi_ = 96;
};

}  // namespace kestrum::ui
