// The program's message boxes: its own title, the exclamation icon and
// buttons whose texts go through the translation function.
#pragma once

#include <windows.h>

#include <string>

namespace kestrum::ui {

// One button, "Close". Texts arrive translated; the button text is translated here.
void ShowCloseMessage(HWND owner, const std::string& title, const std::string& text);

// Two buttons, "Close" (answer 1) and "Cancel" (answer 0); closing the box in
// any other way answers 0.
int AskCloseOrCancel(HWND owner, const std::string& title, const std::string& text);

}  // namespace kestrum::ui
