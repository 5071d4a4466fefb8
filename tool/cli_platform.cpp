#include "tool/cli_platform.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win_text.h"
#else
#include <unistd.h>
#endif

#include <string>

#include "tool/console.h"
#include "view/free_name.h"
#include "view/terminal_text.h"

namespace kestrum {

std::string CliPlatform::ExecutablePath() {
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  buffer.resize(n < buffer.size() ? n : 0);
  return win::Utf8(buffer);
#else
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
#endif
}

OverwriteAnswer CliPlatform::AskOverwrite(const std::string& existing_path,
                                          const std::string& refused) {
  switch (overwrite) {
    case OverwriteMode::kReplace:
      return {OverwriteChoice::kReplace, {}};
    case OverwriteMode::kSkip:
      return {OverwriteChoice::kSkip, {}};
    case OverwriteMode::kRename:
      // A refused free name (its folder is gone, say) is not offered twice.
      if (!refused.empty()) return {OverwriteChoice::kAbort, {}};
      return {OverwriteChoice::kNewPath, FreeName(Files(), existing_path)};
    case OverwriteMode::kFail:
      return {OverwriteChoice::kAbort, {}};
    case OverwriteMode::kAsk:
      break;
  }
  asking = true;
  if (!refused.empty()) Write(stderr, ClearLineText() + TerminalSafe(refused) + "\n");
  Write(stderr, ClearLineText() + TerminalSafe(existing_path) +
                    " exists already.\nNew name (empty to replace it): ");
  std::string line;
  const bool got = ReadLine(line);
  asking = false;
  if (!got) return {OverwriteChoice::kAbort, {}};
  if (line.empty()) return {OverwriteChoice::kReplace, {}};
  return {OverwriteChoice::kNewPath, FolderOf(existing_path, Files().Separator()) + line};
}

}  // namespace kestrum
