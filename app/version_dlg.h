// The About dialog: name and version, build time, logo and a link to the web
// site. Ctrl+I opens it from any window of the program.
#pragma once

#include <windows.h>

namespace kestrum {

class VersionDlg {
 public:
  // Shows the dialog modally over `owner` and returns when it is closed.
  void Run(HWND owner);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
  bool done_ = false;
  void* views_ = nullptr;
};

// Installs the Ctrl+I hook for the calling thread (once per thread): the
// window's thread, and the worker's when it opens a dialog.
void InstallKeyHook();

}  // namespace kestrum
