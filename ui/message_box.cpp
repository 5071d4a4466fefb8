#include "ui/message_box.h"

#include <commctrl.h>

#include "i18n/translate.h"
#include "ui/open_dialogs.h"
#include "platform/win_text.h"

namespace kestrum::ui {
namespace {

constexpr int kCancelButton = 1000;  // not IDCANCEL: Esc and the close box answer IDCANCEL

// Keeps the box in the list of open dialogs while it is up.
HRESULT CALLBACK TrackDialog(HWND hwnd, UINT notification, WPARAM, LPARAM, LONG_PTR) {
  if (notification == TDN_CREATED) AddOpenDialog(hwnd);
  if (notification == TDN_DESTROYED) RemoveOpenDialog(hwnd);
  return S_OK;
}

// A task dialog rather than MessageBox, so that the button texts can be translated.
int Run(HWND owner, const std::string& title, const std::string& text, bool question) {
  const std::wstring wtitle = win::Wide(title), wtext = win::Wide(text);
  const std::wstring wclose = win::Wide(t_("Close")), wcancel = win::Wide(t_("Cancel"));
  TASKDIALOG_BUTTON buttons[2] = {{IDCLOSE, wclose.c_str()}, {kCancelButton, wcancel.c_str()}};
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW | TDF_ALLOW_DIALOG_CANCELLATION;
  config.pszWindowTitle = wtitle.c_str();
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszContent = wtext.c_str();
  config.cButtons = question ? 2 : 1;
  config.pButtons = buttons;
  config.nDefaultButton = question ? kCancelButton : IDCLOSE;
  config.pfCallback = &TrackDialog;
  int pressed = 0;
  if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    // Without common controls 6 there is no task dialog: fall back to a plain box.
    const UINT style = MB_ICONEXCLAMATION | (question ? MB_OKCANCEL | MB_DEFBUTTON2 : MB_OK);
    pressed = MessageBoxW(owner, wtext.c_str(), wtitle.c_str(), style) == IDOK ? IDCLOSE : 0;
  }
  return pressed == IDCLOSE ? 1 : 0;
}

}  // namespace

void ShowCloseMessage(HWND owner, const std::string& title, const std::string& text) {
  Run(owner, title, text, false);
}

int AskCloseOrCancel(HWND owner, const std::string& title, const std::string& text) {
  return Run(owner, title, text, true);
}

}  // namespace kestrum::ui
