#include "app/win_platform.h"

#include <windows.h>

#include <vector>

#include "i18n/language_code.h"
#include "ui/message_box.h"
#include "ui/win_text.h"

namespace kestrum {

std::string WinPlatform::ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return ui::Utf8(std::wstring(buffer.data(), n));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

void WinPlatform::ShowMessage(const std::string& title, const std::string& text) {
  ui::ShowCloseMessage(GetActiveWindow(), title, text);
}

// The window does not start extractions yet; until its overwrite dialog
// exists, an existing file is never replaced without the user's word.
OverwriteAnswer WinPlatform::AskOverwrite(const std::string& existing_path) {
  (void)existing_path;
  return {OverwriteChoice::kAbort, {}};
}

uint32_t SystemLanguage() {
  wchar_t language[16] = {}, country[16] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, 16) ||
      !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 16))
    return 0;
  return ParseLanguageCode(ui::Utf8(language) + ui::Utf8(country));
}

}  // namespace kestrum
