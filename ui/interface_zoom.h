// The layout zoom of windows laid out for Tahoma 8 pt at 96 DPI (the main
// window and the dialogs): layout units scale with the interface font
// against that design font, so that translated texts take as much of their
// controls at 150 % as at 100 %; never less than the DPI alone asks for.
#pragma once

#include <windows.h>

#include "view/placement.h"

namespace kestrum::ui {

// font: the interface font as used at dpi.
LayoutZoom InterfaceZoom(const LOGFONTW& font, int dpi);

}  // namespace kestrum::ui
