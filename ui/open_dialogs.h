// The dialogs the extraction worker has open. When the program ends while one
// of them waits for an answer, it is closed, so the worker can finish.
#pragma once

#include <windows.h>

namespace kestrum::ui {

void AddOpenDialog(HWND dialog);
void RemoveOpenDialog(HWND dialog);
// Closes every dialog still open (as with the close box).
void CloseOpenDialogs();

}  // namespace kestrum::ui
