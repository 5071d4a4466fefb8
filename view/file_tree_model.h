// The explorer tree of an archive's entries: folders rebuilt from the entry
// paths, every level sorted by name with folders first. Portable; the window
// shows it in a tree view, inserting a node's children when it is opened.
// Building makes the folders only; a folder's files become nodes, and its
// level is sorted, when its children are first asked for. A table of a
// million entries costs one pass, and each opened folder its own files.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

struct TreeNode {
  std::string text;
  int parent = -1;            // -1 for the root
  std::vector<int> children;  // Children() gives them all, sorted
  int entry = -1;             // index of the entry for a file node, -1 otherwise
  bool folder = false;        // the root and folders
};

class FileTreeModel {
 public:
  // Node 0 is the root, titled with the archive's name. Names are split at
  // the last backslash, slash or colon into folder and file; the folder part
  // is split at backslashes into components, empty ones dropped.
  // `count` names, name_at(i) the i-th: the model asks for them again when
  // a folder is opened, so they must outlive it.
  void Build(const std::string& root_text, size_t count,
             std::function<std::string_view(size_t)> name_at, uint32_t language);
  // The same over names of its own.
  void Build(const std::string& root_text, std::vector<std::string> names, uint32_t language);

  // A node that Children() has handed out, or a folder.
  const TreeNode& node(int id) const { return nodes_[size_t(id)]; }
  // The nodes made so far: every folder, and the files of the opened ones.
  int size() const { return int(nodes_.size()); }
  // Node `id`'s children, folders first, then by name. Its files are made
  // nodes on the first call; references to nodes stay valid.
  const std::vector<int>& Children(int id) const;

 private:
  std::vector<std::string> names_;  // the second Build's
  std::function<std::string_view(size_t)> name_at_;
  mutable std::deque<TreeNode> nodes_;
  // For each folder: its files' entries not yet made nodes; whether its
  // level is sorted.
  mutable std::vector<std::vector<int>> pending_files_;
  mutable std::vector<bool> sorted_;
  uint32_t language_ = 0;
};

// Orders two names the way a reader of `language` expects: letters compare
// without regard to case and accents first, then by case, then byte-wise.
int CompareNames(const std::string& a, const std::string& b, uint32_t language);

}  // namespace kestrum
