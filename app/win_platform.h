// The core's platform services on Windows.
#pragma once

#include "archive/platform.h"
#include "platform/native_file_system.h"

namespace kestrum {

class WinPlatform : public Platform {
 public:
  std::string ExecutablePath() override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  OverwriteAnswer AskOverwrite(const std::string& existing_path,
                               const std::string& refused) override;
  FileSystem& Files() override { return NativeFileSystem(); }
};

// The window that the worker's dialogs and messages belong to.
void SetDialogOwner(void* hwnd);

// The language of the user's locale as a language code (0 when unknown).
uint32_t SystemLanguage();

}  // namespace kestrum
