// The About dialog: name and version, build time, logo and a link to the web
// site. Ctrl+I opens it from any window of the program.
#pragma once

#include <windows.h>

#include "ui/own_window.h"

namespace kestrum {

class VersionDlg : public ui::OwnWindow {
 public:
  // Shows the dialog modally over `owner` and returns when it is closed.
  void Run(HWND owner);

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  bool done_ = false;
  void* views_ = nullptr;
};

// Installs the Ctrl+I hook for the calling thread (once per thread): the
// window's thread, and the worker's when it opens a dialog.
void InstallKeyHook();

}  // namespace kestrum
