#include "tool/source_tree.h"

#include <algorithm>
#include <system_error>

#include "archive/entry_name.h"

namespace fs = std::filesystem;

namespace kestrum {
namespace {

// One folder's files and, depth first, its subfolders'. `shown` is the
// folder as the user would name it (below the folder they gave), for messages;
// `name` its stored name with a trailing backslash, or empty at the top.
bool CollectFolder(const fs::path& folder, const fs::path& shown, const std::string& name,
                   const LeaveOut& leave_out, std::vector<SourceFile>& files, std::string& error) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::directory_entry& item = *it;
    const std::string text = item.path().filename().u8string();
    if (text.find('\\') != std::string::npos) {
      error = (shown / item.path().filename()).u8string() +
              ": the name holds a backslash, which the archive uses between folders";
      return false;
    }
    std::error_code kind;
    const bool link = item.is_symlink(kind);
    if (!link && item.is_directory(kind)) {
      if (!CollectFolder(item.path(), shown / item.path().filename(), name + text + '\\', leave_out,
                         files, error))
        return false;
      continue;
    }
    if (!item.is_regular_file(kind)) continue;  // devices, dangling links, links to folders
    if (leave_out && leave_out(item.path())) continue;
    SourceFile f;
    f.path = item.path().u8string();
    f.name = name + text;
    const std::string unsafe = UnsafeNameReason(f.name);
    if (!unsafe.empty()) {
      error = f.path + ": cannot be stored: " + unsafe;
      return false;
    }
    f.size = item.file_size(kind);
    if (kind) {
      error = f.path + ": " + kind.message();
      return false;
    }
    files.push_back(std::move(f));
  }
  if (ec) {
    error = shown.u8string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool CollectSourceFiles(const std::string& dir, const LeaveOut& leave_out,
                        std::vector<SourceFile>& files, std::string& error) {
  std::error_code ec;
  // UTF-8 in and out: on Windows a path's string() is the ANSI code page.
  if (!fs::is_directory(fs::u8path(dir), ec)) {
    error = dir + ": not a folder";
    return false;
  }
  const fs::path root = fs::canonical(fs::u8path(dir), ec);
  if (ec) {
    error = dir + ": " + ec.message();
    return false;
  }
  if (!CollectFolder(root, fs::u8path(dir), "", leave_out, files, error)) return false;
  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  return true;
}

}  // namespace kestrum
