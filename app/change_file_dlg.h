// The question "a file of this name exists already": the user types a new
// name and presses OK, or presses "Rewrite" to replace the file. A new name
// under which a file exists too is refused, and the dialog stays open.
#pragma once

#include <windows.h>

#include <string>

#include "ui/own_window.h"

namespace kestrum {

class ChangeFileDlg : public ui::OwnWindow {
 public:
  // `existing` is the full path of the file that exists; `refused` says why
  // the last new name could not be used (empty the first time).
  explicit ChangeFileDlg(const std::string& existing, const std::string& refused = {});
  // Runs modally over `owner` (which may belong to another thread); 1 when a
  // new name was accepted (see new_path), 2 for "Rewrite", Esc or the close box.
  int Run(HWND owner);
  const std::string& new_path() const { return new_path_; }

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Accept();
  void Finish(int result);

  std::string folder_;
  std::string new_path_;
  std::string name_;
  std::string refused_;
  HWND hint_ = nullptr, file_ = nullptr, ok_ = nullptr, rewrite_ = nullptr;
  HFONT font_ = nullptr;
  int result_ = 0;
  struct Views;
  Views* views_ = nullptr;
};

}  // namespace kestrum
