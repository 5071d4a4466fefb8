// The stub's entry: finds the archive in its own file and opens the window.
#include <windows.h>
#include <commctrl.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/stub_console.h"
#include "app/unattended.h"
#include "app/vondrel.h"
#include "app/win_platform.h"
#include "archive/unzipper.h"
#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"
#include "ui/message_box.h"
#include "platform/win_text.h"
#include "ui/open_dialogs.h"
#include "view/stub_options.h"

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

// The arguments after the program's name, as UTF-8.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(kestrum::win::Utf8(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  // With arguments: a script's run, without the window (see view/stub_options.h).
  const std::vector<std::string> args = Arguments();
  if (!args.empty()) {
    kestrum::StubOptions options;
    std::string error;
    if (!kestrum::ParseStubOptions(args, options, error)) {
      kestrum::StubConsole console;
      const std::string text = "kestrum-sfx: " + error + "\n\n" + kestrum::StubHelp();
      if (console.reaches())
        console.Err(text);
      else
        kestrum::ui::ShowCloseMessage(nullptr, kestrum::t_("Kestrum Vondrel"), text);
      return kestrum::kExitUsage;
    }
    if (options.action != kestrum::StubAction::kWindow) return kestrum::RunUnattended(options);
  }

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
