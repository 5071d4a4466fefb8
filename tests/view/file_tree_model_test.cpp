#include "view/file_tree_model.h"

#include <gtest/gtest.h>

#include "i18n/language_code.h"

namespace kestrum {
namespace {

// "text" for a file, "text/" for a folder, children in brackets.
std::string Dump(const FileTreeModel& m, int id = 0) {
  const TreeNode& n = m.node(id);
  std::string out = n.text + (n.folder ? "/" : "");
  const std::vector<int>& children = m.Children(id);
  if (!children.empty()) {
    out += "[";
    for (size_t i = 0; i < children.size(); ++i) out += (i ? " " : "") + Dump(m, children[i]);
    out += "]";
  }
  return out;
}

FileTreeModel Build(const std::vector<std::string>& names) {
  FileTreeModel m;
  m.Build("Arc", names, kLangEnUS);
  return m;
}

TEST(FileTreeModel, FoldersFirstThenFilesSorted) {
  EXPECT_EQ(Dump(Build({"B\\x.txt", "a.txt", "A\\y.txt", "b.txt"})),
            "Arc/[A/[y.txt] B/[x.txt] a.txt b.txt]");
}

TEST(FileTreeModel, SeparatorsAndEmptyParts) {
  // A doubled backslash lands in the same folders.
  EXPECT_EQ(Dump(Build({"A\\\\B\\f", "A\\B\\g"})), "Arc/[A/[B/[f g]]]");
  // Slash and colon end the folder part, but only backslashes split it.
  EXPECT_EQ(Dump(Build({"a/b\\c"})), "Arc/[a/b/[c]]");
  EXPECT_EQ(Dump(Build({"a\\b/c"})), "Arc/[a/[b/[c]]]");
  // An empty file part is a leaf without text.
  EXPECT_EQ(Dump(Build({"dir\\"})), "Arc/[dir/[]]");
  EXPECT_EQ(Dump(Build({})), "Arc/");
}

TEST(FileTreeModel, NamesDifferingInCaseAreSeparateFolders) {
  const FileTreeModel m = Build({"Docs\\a", "docs\\b", "DOCS\\c"});
  EXPECT_EQ(Dump(m), "Arc/[docs/[b] Docs/[a] DOCS/[c]]");
  // Each leaf knows its entry.
  EXPECT_EQ(m.node(m.Children(m.Children(0)[0])[0]).entry, 1);
}

TEST(FileTreeModel, LettersCompareWithoutCaseAndAccentsFirst) {
  EXPECT_LT(CompareNames("apple", "Banana", kLangEnUS), 0);
  EXPECT_LT(CompareNames("\xC3\xA9t\xC3\xA9", "f", kLangFrFR), 0);                // été < f
  EXPECT_LT(CompareNames("\xD0\xB0\xD0\xB1", "\xD0\x91\xD0\xB0", kLangRuRU), 0);  // аб < Ба
  EXPECT_LT(CompareNames("a", "A", kLangEnUS), 0);
  EXPECT_EQ(CompareNames("same", "same", kLangEnUS), 0);
  EXPECT_GT(CompareNames("file2", "file10", kLangEnUS), 0);  // plain, not numeric order
}

}  // namespace
}  // namespace kestrum
