// Loads a DLL of the system at run time, from System32 only. The stub runs from
// download folders, where a planted DLL of the same name must never be picked.
#pragma once

#include <windows.h>

namespace kestrum::ui {

// The module of NAME (e.g. L"msftedit.dll") from the system folder, or nullptr.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace kestrum::ui
