#include "view/file_tree_model.h"

#include <algorithm>
#include <map>

#include "archive/utf8.h"

namespace kestrum {
namespace {

// Base letter and case of a code point, for the scripts archive names use
// most: Latin (with the Latin-1 and Latin Extended-A accents), Greek, Cyrillic.
struct Folded {
  char32_t base;
  int lower;  // 1 for lower case letters, 0 otherwise
};

Folded Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return {char32_t(c + 32), 0};
  if (c >= 'a' && c <= 'z') return {c, 1};
  static const char kLatin1[] =  // U+00C0..U+00FF without accents; '*' keeps the letter
      "aaaaaaaceeeeiiii"
      "dnooooo*ouuuuyts"
      "aaaaaaaceeeeiiii"
      "dnooooo*ouuuuyty";
  if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0] != '*')
    return {char32_t(kLatin1[c - 0xC0]), c >= 0xDF ? 1 : 0};
  if (c >= 0x100 && c <= 0x17F) {
    static const char kExtA[] =  // U+0100..U+017F, pairs of upper and lower case
        "aaaaaaccccccccdd"
        "ddeeeeeeeeeegggg"
        "gggghhhhiiiiiiii"
        "iijjjjkkklllllll"
        "lllnnnnnnnnnoooo"
        "oooorrrrrrssssss"
        "ssttttttuuuuuuuu"
        "uuuuwwyyyzzzzzzs";
    const char b = kExtA[c - 0x100];
    return {char32_t(b), int((c - 0x100) % 2)};
  }
  if (c >= 0x410 && c <= 0x42F) return {char32_t(c + 32), 0};  // Cyrillic А..Я
  if (c >= 0x430 && c <= 0x44F) return {c, 1};
  if (c >= 0x400 && c <= 0x40F) return {char32_t(c + 80), 0};  // Ѐ..Џ
  if (c >= 0x450 && c <= 0x45F) return {c, 1};
  if (c >= 0x460 && c <= 0x4FF) return {char32_t(c | 1), int(c & 1)};  // paired letters
  if (c >= 0x391 && c <= 0x3A9) return {char32_t(c + 32), 0};          // Greek
  if (c >= 0x3B1 && c <= 0x3C9) return {c, 1};
  return {c, 0};
}

std::u32string Decode(const std::string& s) {
  const std::u16string w = Utf8ToUtf16(s);
  std::u32string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    char32_t c = w[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size())
      c = 0x10000 + ((c - 0xD800) << 10) + (w[++i] - 0xDC00);
    out.push_back(c);
  }
  return out;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

}  // namespace

int CompareNames(const std::string& a, const std::string& b, uint32_t language) {
  (void)language;  // the folding above serves all nine interface languages
  const std::u32string x = Decode(a), y = Decode(b);
  const size_t n = std::min(x.size(), y.size());
  int case_order = 0;
  for (size_t i = 0; i < n; ++i) {
    const Folded fx = Fold(x[i]), fy = Fold(y[i]);
    if (fx.base != fy.base) return fx.base < fy.base ? -1 : 1;
    // Same letter: remember the first difference in case (lower first).
    if (case_order == 0 && fx.lower != fy.lower) case_order = fx.lower ? -1 : 1;
  }
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  if (case_order) return case_order;
  return a < b ? -1 : (a > b ? 1 : 0);
}

void FileTreeModel::Build(const std::string& root_text, std::vector<std::string> names,
                          uint32_t language) {
  names_ = std::move(names);
  Build(
      root_text, names_.size(), [this](size_t i) { return std::string_view(names_[i]); }, language);
}

void FileTreeModel::Build(const std::string& root_text, size_t count,
                          std::function<std::string_view(size_t)> name_at, uint32_t language) {
  name_at_ = std::move(name_at);
  nodes_.clear();
  pending_files_.assign(1, {});
  language_ = language;
  TreeNode root;
  root.text = root_text;
  root.folder = true;
  nodes_.push_back(root);
  // Folder path (components joined by one backslash) -> node.
  std::map<std::string, int> folders;
  const auto add = [this](int parent, std::string text, bool folder, int entry) {
    TreeNode n;
    n.text = std::move(text);
    n.parent = parent;
    n.folder = folder;
    n.entry = entry;
    nodes_.push_back(std::move(n));
    const int id = int(nodes_.size()) - 1;
    nodes_[size_t(parent)].children.push_back(id);
    pending_files_.emplace_back();
    return id;
  };
  // Entries of one folder mostly follow each other: the last folder found
  // is tried before the map.
  std::string last_folder;
  int last_parent = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::string_view name = name_at_(i);
    size_t cut = name.size();
    while (cut > 0 && !IsSeparator(name[cut - 1])) --cut;
    const size_t folder_length = cut ? cut - 1 : 0;
    if (folder_length && folder_length == last_folder.size() &&
        name.compare(0, folder_length, last_folder) == 0) {
      pending_files_[size_t(last_parent)].push_back(int(i));
      continue;
    }
    const std::string folder(name.substr(0, folder_length));
    int parent = 0;
    if (!folder.empty()) {
      const auto known = folders.find(folder);
      if (known != folders.end()) {
        parent = known->second;
      } else {
        std::string path;
        size_t start = 0;
        while (start <= folder.size()) {
          size_t end = folder.find('\\', start);
          if (end == std::string::npos) end = folder.size();
          const std::string part = folder.substr(start, end - start);
          start = end + 1;
          if (part.empty()) continue;
          path += part;
          const auto it = folders.find(path);
          parent = it != folders.end() ? it->second : (folders[path] = add(parent, part, true, -1));
          path += '\\';
        }
        folders.emplace(folder, parent);
      }
      last_folder = folder;
      last_parent = parent;
    }
    pending_files_[size_t(parent)].push_back(int(i));
  }
  sorted_.assign(nodes_.size(), false);
}

const std::vector<int>& FileTreeModel::Children(int id) const {
  TreeNode& n = nodes_[size_t(id)];
  if (size_t(id) < sorted_.size() && !sorted_[size_t(id)]) {
    for (const int entry : pending_files_[size_t(id)]) {
      const std::string_view name = name_at_(size_t(entry));
      size_t cut = name.size();
      while (cut > 0 && !IsSeparator(name[cut - 1])) --cut;
      TreeNode file;
      file.text = std::string(name.substr(cut));
      file.parent = id;
      file.entry = entry;
      nodes_.push_back(std::move(file));
      n.children.push_back(int(nodes_.size()) - 1);
    }
    pending_files_[size_t(id)] = {};
    // Folders before files (a folder always holds something), then by name.
    std::stable_sort(n.children.begin(), n.children.end(), [&](int a, int b) {
      const TreeNode& x = nodes_[size_t(a)];
      const TreeNode& y = nodes_[size_t(b)];
      const bool fx = x.folder, fy = y.folder;
      if (fx != fy) return fx;
      return CompareNames(x.text, y.text, language_) < 0;
    });
    sorted_[size_t(id)] = true;
  }
  return n.children;
}

}  // namespace kestrum
