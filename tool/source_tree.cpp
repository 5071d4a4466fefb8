#include "tool/source_tree.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "archive/entry_name.h"

namespace fs = std::filesystem;

namespace kestrum {

bool CollectSourceFiles(const std::string& dir, const std::set<std::string>& exclude,
                        std::vector<SourceFile>& files, std::string& error) {
  std::error_code ec;
  // UTF-8 in and out: on Windows a path's string() is the ANSI code page.
  if (!fs::is_directory(fs::u8path(dir), ec)) {
    error = dir + ": not a folder";
    return false;
  }
  const fs::path root = fs::canonical(fs::u8path(dir), ec);
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::directory_entry& item = *it;
    if (!item.is_regular_file(ec)) continue;  // folders, devices, dangling links
    const fs::path canonical = fs::weakly_canonical(item.path(), ec);
    if (exclude.count(canonical.u8string())) continue;
    const fs::path relative = item.path().lexically_relative(root);
    std::string name;
    for (const fs::path& part : relative) {
      const std::string text = part.u8string();
      if (text.find('\\') != std::string::npos) {
        error = item.path().u8string() +
                ": the name holds a backslash, which the archive uses "
                "between folders";
        return false;
      }
      if (!name.empty()) name += '\\';
      name += text;
    }
    const std::string unsafe = UnsafeNameReason(name);
    if (!unsafe.empty()) {
      error = item.path().u8string() + ": cannot be stored: " + unsafe;
      return false;
    }
    SourceFile f;
    f.path = item.path().u8string();
    f.name = name;
    f.size = item.file_size(ec);
    if (ec) break;
    files.push_back(std::move(f));
  }
  if (ec) {
    error = dir + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  return true;
}

}  // namespace kestrum
