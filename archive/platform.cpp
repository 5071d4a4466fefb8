#include "archive/platform.h"

#include "i18n/translate.h"

namespace kestrum {

void Platform::ShowExtractFailure(const std::string& detail) {
  (void)detail;  // the window's message is the short one; the detail is for tools
  ShowMessage(t_("Kestrum Vondrel"), t_("Very fail"));
}

}  // namespace kestrum
