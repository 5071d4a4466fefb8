// The stub's entry: finds the archive in its own file and opens the window.
#include <windows.h>
#include <commctrl.h>

#include "app/vondrel.h"
#include "app/win_platform.h"
#include "archive/unzipper.h"
#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"
#include "ui/message_box.h"
#include "ui/open_dialogs.h"

namespace {

// A self-extractor runs from download folders: DLLs are taken from System32
// only, never from the folder beside it. Looked up at run time because older
// systems lack the function.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set_dirs = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_dirs) set_dirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

kestrum::WinPlatform platform;
kestrum::UnZipper archive(platform);

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // The system's language, folded onto the nine (English for any other).
  kestrum::SetCurrentLanguage(kestrum::InterfaceLanguage(kestrum::SystemLanguage()).lang);

  kestrum::Vondrel window(archive);
  const int loaded = window.load_result();
  if (loaded == kestrum::ST_DONE) {
    window.Run();
    // The window is gone; a worker told to stop finishes its chunk and removes
    // what it must before the archive object goes away. A question it is still
    // waiting on is closed first.
    archive.Stop();
    kestrum::ui::CloseOpenDialogs();
    archive.WaitForWorker();
    return 0;
  }
  // A bare stub ends silently; a damaged archive says so instead of vanishing.
  if (archive.load_error().problem == kestrum::LoadProblem::kDamaged)
    kestrum::ui::ShowCloseMessage(nullptr, kestrum::t_("Kestrum Vondrel"),
                                  kestrum::t_("The archive is damaged."));
  return loaded;
}
