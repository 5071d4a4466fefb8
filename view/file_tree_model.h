// The explorer tree of an archive's entries: folders rebuilt from the entry
// paths, every level sorted by name with folders first. Portable; the window
// shows it in a tree view, inserting a node's children when it is opened. A
// level is sorted when it is first asked for, so a table of a million
// entries costs one pass to build and each opened folder its own sort.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum {

struct TreeNode {
  std::string text;
  int parent = -1;            // -1 for the root
  std::vector<int> children;  // in table order; Children() gives them sorted
  int entry = -1;             // index of the entry for a file node, -1 otherwise
  bool folder = false;        // the root and folders
};

class FileTreeModel {
 public:
  // Node 0 is the root, titled with the archive's name. Names are split at
  // the last backslash, slash or colon into folder and file; the folder part
  // is split at backslashes into components, empty ones dropped.
  void Build(const std::string& root_text, const std::vector<std::string>& names,
             uint32_t language);

  const TreeNode& node(int id) const { return nodes_[size_t(id)]; }
  int size() const { return int(nodes_.size()); }
  // Node `id`'s children, folders first, then by name.
  const std::vector<int>& Children(int id) const;

 private:
  mutable std::vector<TreeNode> nodes_;  // a level is sorted in place when asked for
  mutable std::vector<bool> sorted_;
  uint32_t language_ = 0;
};

// Orders two names the way a reader of `language` expects: letters compare
// without regard to case and accents first, then by case, then byte-wise.
int CompareNames(const std::string& a, const std::string& b, uint32_t language);

}  // namespace kestrum
