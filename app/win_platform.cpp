#include "app/win_platform.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "app/change_file_dlg.h"
#include "app/version_dlg.h"

#include "i18n/language_code.h"
#include "ui/message_box.h"
#include "platform/win_text.h"

namespace kestrum {

std::string WinPlatform::ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return win::Utf8(std::wstring(buffer.data(), n));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

namespace {
std::atomic<HWND> dialog_owner{nullptr};
}  // namespace

void SetDialogOwner(void* hwnd) {
  dialog_owner.store(static_cast<HWND>(hwnd));
}

void WinPlatform::ShowMessage(const std::string& title, const std::string& text) {
  InstallKeyHook();  // Ctrl+I works in the worker's dialogs too
  ui::ShowCloseMessage(dialog_owner.load(), title, text);
}

OverwriteAnswer WinPlatform::AskOverwrite(const std::string& existing_path,
                                          const std::string& refused) {
  InstallKeyHook();
  ChangeFileDlg dialog(existing_path, refused);
  if (dialog.Run(dialog_owner.load()) == 1) return {OverwriteChoice::kNewPath, dialog.new_path()};
  return {OverwriteChoice::kReplace, {}};
}

uint32_t SystemLanguage() {
  wchar_t language[16] = {}, country[16] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, 16) ||
      !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 16))
    return 0;
  return ParseLanguageCode(win::Utf8(language) + win::Utf8(country));
}

}  // namespace kestrum
