// The main window: the archive's name, size, description and files, the
// language list, the destination and the buttons, laid out from the form and
// kept in place as the window resizes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "view/common_layout.h"
#include "view/file_tree_model.h"
#include "archive/unzipper.h"
#include "ui/file_list_view.h"
#include "ui/file_tree_view.h"
#include "ui/picture_bitmap.h"
#include "ui/rich_label.h"
#include "ui/rich_text_view.h"
#include "ui/own_window.h"

namespace kestrum {

// The window's one-second timer, which follows a run's progress.
constexpr UINT_PTR kProgressTimer = 1;

class Vondrel : public ui::OwnWindow {
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

  // Handlers.
  void OnExtract();
  void OnCancel();
  void OnBrowse();
  void OnCatalog();
  void OnView();
  void OnTimer();
  void OnLanguage();

 private:
  // Control ids: the form's controls from kControlIdBase on in form order,
  // then the two cases of opt_view and the completion message.
  static constexpr int kControlIdBase = 1000;
  static constexpr int kViewOptionId = 1100;  // + 0, + 1
  static constexpr int kFinishedMessageId = 1102;
  static constexpr int CommandId(ControlId id) { return kControlIdBase + int(id); }

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;  // vondrel_messages.cpp

  // Layout (vondrel_layout.cpp).
  void CreateControls();
  void MakeFonts();
  void UpdateZoom();
  void PlaceControls();
  void ApplyPlacement(bool with_description);
  void SetText(ControlId id, const std::string& utf8);
  void SetLang(uint32_t language);
  int Px(int pixels) const { return MulDiv(pixels, int(dpi_), 96); }

  // Look (vondrel_paint.cpp).
  void DrawExtractButton(const DRAWITEMSTRUCT& item);
  void Paint(HDC dc, const RECT& client);

  // Extraction control (extraction_control.cpp).
  int GetExtractState() const;
  void ShowProgress();
  void ShowFinished();
  int ConfirmBreak(const std::string& text);

  // Contents (vondrel.cpp).
  void FillFromArchive();
  void BuildTree();
  void SetFileCounts();
  void ApplyTexts();

  UnZipper& archive_;
  // The form's controls, by id or by their place in the form.
  struct Controls {
    HWND hwnd[kControlCount] = {};
    HWND& operator[](ControlId id) { return hwnd[int(id)]; }
    HWND operator[](ControlId id) const { return hwnd[int(id)]; }
    HWND& operator[](int i) { return hwnd[i]; }
  } controls_;
  HWND view_options_[2] = {};  // the two cases of opt_view
  ui::FileListView file_list_view_;
  ui::FileTreeView file_tree_view_;
  ui::RichTextView arch_desc_view_;
  ui::RichLabel file_counts_view_, about_view_;
  ui::RichLabel finished_view_;  // the completion message, where the description was
  FileTreeModel tree_model_;
  HIMAGELIST tree_glyphs_ = nullptr;
  HIMAGELIST catalog_glyph_ = nullptr;  // the open folder beside "Open catalog"
  HFONT ui_font_ = nullptr, ui_bold_ = nullptr, name_font_ = nullptr, desc_font_ = nullptr;
  HFONT message_font_ = nullptr;
  HBRUSH body_brush_ = nullptr;
  HICON small_icon_ = nullptr, large_icon_ = nullptr;
  LayoutZoom zoom_;
  UINT dpi_ = 96;
  bool with_description_ = false;
  bool finished_shown_ = false;  // the finished view replaced the views
  HWND focus_before_ = nullptr;  // the focused control while the window is inactive

  // The members the window paints with.
  ui::BitmapPicture strip;
  ui::BitmapPicture header_image;
  ui::BitmapPicture button_image;
  ui::BitmapPicture empty_tile_, logo_;
  int shown_state = ST_READY;
  int load_result_ = ST_FAILED;
  int file_count = 0;
  std::string start_directory_;  // the process's current directory at start-up
  size_t first_open_row_ = 0;    // the rows before it show their files done
  std::string archref;
};

}  // namespace kestrum
