#include "tool/cli_platform.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win_text.h"
#else
#include <unistd.h>
#endif

#include <string>

#include "tool/console.h"
#include "tool/terminal_text.h"

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

namespace {

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("/" + std::string(1, NativeFileSystem().Separator()));
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// "name (2).ext": the first such name that does not exist.
std::string FreeName(FileSystem& files, const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string name = path.substr(folder.size());
  const size_t dot = name.find_last_of('.');
  const bool has_ext = dot != std::string::npos && dot > 0;
  const std::string stem = has_ext ? name.substr(0, dot) : name;
  const std::string ext = has_ext ? name.substr(dot) : std::string();
  for (int i = 1;; ++i) {
    const std::string candidate = folder + stem + " (" + std::to_string(i) + ")" + ext;
    if (!files.IsFile(candidate) && files.FileSize(candidate) < 0) return candidate;
  }
}

}  // namespace

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
  return {OverwriteChoice::kNewPath, FolderOf(existing_path) + line};
}

}  // namespace kestrum
