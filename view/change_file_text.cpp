#include "view/change_file_text.h"
#include "view/rich_text/qtf.h"
#include "i18n/format.h"
#include "i18n/translate.h"

namespace kestrum {

std::string EscapeQtf(const std::string& text) {
  return rich_text::QtfEscape(text);
}

// The path is always escaped: a name holding "[" or "^" would otherwise be
// read as markup.
std::string ChangeFileHint(const std::string& path, const std::string& refused) {
  const std::string second =
      refused.empty() ? t_("Set new name for this file, or rewrite it.") : EscapeQtf(refused);
  return "[1; " + FormatPattern(t_("File %s already exists."), {EscapeQtf(path)}) + "]&[1; " +
         second + "]";
}

}  // namespace kestrum
