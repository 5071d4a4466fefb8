// The shell's folder browser, for choosing the destination.
#pragma once

#include <windows.h>

#include <string>

namespace kestrum {

class WindowsFileSel {
 public:
  virtual ~WindowsFileSel() = default;
  // Opens the browser owned by `owner` at `initial` (empty: the current
  // directory). Returns the chosen folder's path in UTF-8, or an empty string
  // when the user cancels or picks something that is not a folder on disk.
  // `display` is unused by the browser's new style and kept for callers.
  std::string BrowseFolder(HWND owner, const std::string& initial, const std::string& display);
};

}  // namespace kestrum
