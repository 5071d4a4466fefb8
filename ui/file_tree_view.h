// The explorer tree: a tree view over a FileTreeModel. A folder's children
// are inserted when it is first opened, so the tree of a 100,000-file archive
// is up at once. Folders show the closed or open folder glyph, which works as
// their expander; files show a document glyph. The glyph is set from the
// item's state after every change, however it came about: the control tells
// its parent of an expansion only the first time a program asks for one.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "view/file_tree_model.h"

namespace kestrum::ui {

class FileTreeView {
 public:
  enum Glyph { kFolderClosed = 0, kFolderOpened = 1, kFile = 2 };

  // `glyphs` holds the three images in Glyph order; the view does not own it.
  void Create(HWND parent, int id, HIMAGELIST glyphs);
  HWND hwnd() const { return hwnd_; }
  // Shows the model (kept by the caller) with the root open.
  void Show(const FileTreeModel* model);
  // Called on a double click on the text of an item.
  std::function<void()> on_activate;
  bool HandleNotify(NMHDR* header, LRESULT* result);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR self);
  HTREEITEM Insert(HTREEITEM parent, int node);
  void Fill(HTREEITEM item, int node);
  // Opens, closes or toggles (TVE_*) the item and sets its glyph.
  void Expand(HTREEITEM item, UINT action);
  // The folder glyph of item from its state; with deep, also of the folders
  // shown below it.
  void SyncGlyphs(HTREEITEM item, bool deep);
  HWND hwnd_ = nullptr;
  const FileTreeModel* model_ = nullptr;
  std::vector<bool> filled_;
};

}  // namespace kestrum::ui
