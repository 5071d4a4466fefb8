#include "ui/message_box.h"

#include <commctrl.h>

#include "i18n/translate.h"
#include "ui/win_text.h"

namespace kestrum::ui {

// A task dialog rather than MessageBox, so that the button text can be translated.
void ShowCloseMessage(HWND owner, const std::string& title, const std::string& text) {
  const std::wstring wtitle = Wide(title), wtext = Wide(text), wclose = Wide(t_("Close"));
  TASKDIALOG_BUTTON button = {IDCLOSE, wclose.c_str()};
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW | TDF_ALLOW_DIALOG_CANCELLATION;
  config.pszWindowTitle = wtitle.c_str();
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszContent = wtext.c_str();
  config.cButtons = 1;
  config.pButtons = &button;
  config.nDefaultButton = IDCLOSE;
  int pressed = 0;
  if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    // Without common controls 6 there is no task dialog: fall back to a plain box.
    MessageBoxW(owner, wtext.c_str(), wtitle.c_str(), MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace kestrum::ui
