#include "ui/open_dialogs.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace kestrum::ui {
namespace {
std::mutex guard;
std::vector<HWND>& Dialogs() {
  static std::vector<HWND> dialogs;
  return dialogs;
}
}  // namespace

void AddOpenDialog(HWND dialog) {
  std::lock_guard<std::mutex> hold(guard);
  Dialogs().push_back(dialog);
}

void RemoveOpenDialog(HWND dialog) {
  std::lock_guard<std::mutex> hold(guard);
  auto& d = Dialogs();
  d.erase(std::remove(d.begin(), d.end(), dialog), d.end());
}

void CloseOpenDialogs() {
  std::lock_guard<std::mutex> hold(guard);
  for (HWND dialog : Dialogs()) PostMessageW(dialog, WM_CLOSE, 0, 0);
}

}  // namespace kestrum::ui
