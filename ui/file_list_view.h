// The table of the archive's files: a report list view in owner-data mode,
// whose rows are made only when shown, so a million rows cost nothing until
// then. Four columns share the
// width (FitListColumns); clicking a title does not sort.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrum::ui {

class FileListView {
 public:
  struct Row {
    std::wstring name;
    int64_t size = 0;
    int64_t stored_size = 0;
  };

  void Create(HWND parent, int id);
  HWND hwnd() const { return hwnd_; }
  // Titles are (re)applied on every language change.
  void SetColumnTitles(const std::wstring (&titles)[4]);
  // `count` rows; row_at(i) makes row i when it is shown.
  void SetRows(size_t count, std::function<Row(size_t)> row_at);
  void SetPercent(size_t row, int percent);
  // Fits the four columns to the control as it changes size.
  void FitColumns();
  // For the parent's WM_NOTIFY; true when the notification was this view's.
  bool HandleNotify(NMHDR* header, LRESULT* result);

 private:
  HWND hwnd_ = nullptr;
  bool has_columns_ = false;
  std::wstring titles_[4];
  std::function<Row(size_t)> row_at_;
  std::vector<uint8_t> percent_;
  std::wstring text_;  // the text handed out for the last cell asked for
};

}  // namespace kestrum::ui
