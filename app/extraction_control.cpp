// Extraction from the window: Extract starts the worker, the one-second timer
// follows it with the progress bar and the table's percentages, and the
// finished view follows a successful run as soon as the worker ends (it posts
// a tick of its own). The worker never touches a control:
// the window polls the archive object.
#include "app/vondrel.h"

#include <commctrl.h>
#include <shellapi.h>

#include "view/archive_reference.h"
#include "view/extract_progress.h"
#include "app/windows_file_sel.h"
#include "i18n/translate.h"
#include "ui/message_box.h"
#include "platform/win_text.h"

namespace kestrum {

int Vondrel::GetExtractState() const {
  return archive_.WorkerRunning() ? int(ST_EXTRACTING) : archive_.GetState();
}

void Vondrel::OnExtract() {
  // A run that is under way keeps its destination; a finished archive object
  // does not extract again.
  if (archive_.WorkerRunning() || shown_state != ST_READY || archive_.GetState() != ST_READY)
    return;
  ShowWindow(controls_[ControlId::bt_extract], SW_HIDE);
  SendMessageW(controls_[ControlId::indicator], PBM_SETPOS, 0, 0);
  ShowWindow(controls_[ControlId::indicator], SW_SHOW);
  for (size_t row = 0; row < size_t(file_count); ++row) file_list_view_.SetPercent(row, 0);
  first_open_row_ = 0;
  wchar_t path[32768] = {};
  GetWindowTextW(controls_[ControlId::dir_path], path, 32768);
  archive_.destination = win::Utf8(path) + "\\";
  // The end of the run is shown when it comes, not at the next tick.
  archive_.on_run_end = [window = hwnd_] { PostMessageW(window, WM_TIMER, kProgressTimer, 0); };
  archive_.Start();
}

void Vondrel::OnTimer() {
  if (finished_shown_) return;  // a tick queued behind the run's own
  const int s = GetExtractState();
  const bool changed = s != shown_state;
  shown_state = s;
  if (s == ST_DONE)
    ShowFinished();
  else if (s == ST_EXTRACTING)
    ShowProgress();
  else if (changed)
    InvalidateRect(hwnd_, nullptr, FALSE);  // a stopped or failed run shows the logo
}

void Vondrel::ShowProgress() {
  // Row i of the table is entry i. Entries are written in order: the rows
  // before the first open one are done, and none after the current one is.
  RunningEntry current;
  const double ratio = archive_.GetProgress(current);
  const size_t current_row = current.index;
  SendMessageW(controls_[ControlId::indicator], PBM_SETPOS, WPARAM(BarPosition(ratio)), 0);
  const size_t rows = size_t(file_count);
  if (current_row < rows)
    file_list_view_.SetPercent(current_row, FilePercent(current.written, current.size));
  while (first_open_row_ < rows && archive_.IsDoneAt(first_open_row_))
    file_list_view_.SetPercent(first_open_row_++, 100);
  for (size_t row = first_open_row_ + 1; row < rows && row <= current_row; ++row)
    if (archive_.IsDoneAt(row)) file_list_view_.SetPercent(row, 100);
}

void Vondrel::ShowFinished() {
  for (ControlId id :
       {ControlId::lb_name, ControlId::lb_lang, ControlId::lb_desc, ControlId::lb_path,
        ControlId::language, ControlId::file_counts, ControlId::lb_view, ControlId::file_list,
        ControlId::file_tree, ControlId::dir_path, ControlId::indicator, ControlId::bt_extract,
        ControlId::bt_browse})
    ShowWindow(controls_[id], SW_HIDE);
  for (HWND option : view_options_) ShowWindow(option, SW_HIDE);
  SetText(ControlId::bt_catalog, t_("Open catalog"));
  ShowWindow(controls_[ControlId::bt_catalog], SW_SHOW);
  // The message is written at text size 1, the ordinary interface size.
  LOGFONTW base = {};
  GetObjectW(ui_font_, sizeof base, &base);
  base.lfHeight = base.lfHeight * 5 / 4;
  if (message_font_) DeleteObject(message_font_);
  message_font_ = CreateFontIndirectW(&base);
  // Drawn by us, letter for letter like the labels around it.
  ShowWindow(controls_[ControlId::arch_desc], SW_HIDE);
  finished_view_.SetBaseFont(message_font_);
  finished_view_.SetLinkColor(RGB(146, 0, 22));
  finished_view_.SetQtf(FinishedMessageQtf(archref));
  ShowWindow(finished_view_.hwnd(), SW_SHOW);
  finished_shown_ = true;
  KillTimer(hwnd_, kProgressTimer);
  PlaceControls();
}

int Vondrel::ConfirmBreak(const std::string& text) {
  MessageBeep(MB_ICONEXCLAMATION);
  return ui::AskCloseOrCancel(hwnd_, t_("Kestrum Vondrel"), text);
}

// Files being written make closing a question; otherwise the window closes at
// once. After a yes the worker is told to stop; the program waits for it to
// finish its chunk after the window is gone.
void Vondrel::OnCancel() {
  if (shown_state == ST_EXTRACTING || archive_.WorkerRunning()) {
    if (ConfirmBreak(t_("Break extracting?")) == 0) return;
    archive_.Stop();
  }
  DestroyWindow(hwnd_);
}

void Vondrel::OnBrowse() {
  // The browser opens at the folder the program was started in, read when
  // the window was built: the shell may move the current directory later.
  WindowsFileSel picker;
  const std::string chosen = picker.BrowseFolder(hwnd_, start_directory_, "");
  if (!chosen.empty()) SetWindowTextW(controls_[ControlId::dir_path], win::Wide(chosen).c_str());
}

void Vondrel::OnCatalog() {
  wchar_t path[32768] = {};
  GetWindowTextW(controls_[ControlId::dir_path], path, 32768);
  ShellExecuteW(hwnd_, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace kestrum
