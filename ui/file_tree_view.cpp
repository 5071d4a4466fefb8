#include "ui/file_tree_view.h"

#include "platform/win_text.h"

namespace kestrum::ui {

void FileTreeView::Create(HWND parent, int id, HIMAGELIST glyphs) {
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_TABSTOP | TVS_HASLINES | TVS_LINESATROOT |
                              TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                          0, 0, 10, 10, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                          GetModuleHandleW(nullptr), nullptr);
  TreeView_SetExtendedStyle(hwnd_, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
  TreeView_SetImageList(hwnd_, glyphs, TVSIL_NORMAL);
  SetWindowSubclass(hwnd_, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

// Keys open and close folders inside the control (Left, Right, +, -, *);
// whether it says so to the parent depends on the platform, so the glyphs
// are checked after every key.
LRESULT CALLBACK FileTreeView::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                            DWORD_PTR self) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, SubclassProc, 1);
  const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
  auto* view = reinterpret_cast<FileTreeView*>(self);
  if (msg == WM_KEYDOWN && view->model_) {
    if (HTREEITEM caret = TreeView_GetSelection(hwnd)) view->SyncGlyphs(caret, wp == VK_MULTIPLY);
  }
  return result;
}

void FileTreeView::SyncGlyphs(HTREEITEM item, bool deep) {
  TVITEMW tv = {};
  tv.mask = TVIF_PARAM | TVIF_STATE;
  tv.stateMask = TVIS_EXPANDED;
  tv.hItem = item;
  if (!TreeView_GetItem(hwnd_, &tv) || tv.lParam < 0 || tv.lParam >= model_->size()) return;
  if (!model_->node(int(tv.lParam)).folder) return;
  const bool open = tv.state & TVIS_EXPANDED;
  TVITEMW glyph = {};
  glyph.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  glyph.hItem = item;
  glyph.iImage = glyph.iSelectedImage = open ? kFolderOpened : kFolderClosed;
  TreeView_SetItem(hwnd_, &glyph);
  if (!deep || !open) return;
  for (HTREEITEM child = TreeView_GetChild(hwnd_, item); child;
       child = TreeView_GetNextSibling(hwnd_, child))
    SyncGlyphs(child, true);
}

void FileTreeView::Expand(HTREEITEM item, UINT action) {
  TVITEMW tv = {};
  tv.mask = TVIF_PARAM | TVIF_STATE;
  tv.stateMask = TVIS_EXPANDED;
  tv.hItem = item;
  if (!TreeView_GetItem(hwnd_, &tv)) return;
  const bool was_open = tv.state & TVIS_EXPANDED;
  const bool open = action == TVE_TOGGLE ? !was_open : action == TVE_EXPAND;
  if (open) Fill(item, int(tv.lParam));
  TreeView_Expand(hwnd_, item, open ? TVE_EXPAND : TVE_COLLAPSE);
  // A folder without children (the root of an empty archive) has nothing to
  // show but is open all the same.
  if (!TreeView_GetChild(hwnd_, item)) {
    TreeView_SetItemState(hwnd_, item, open ? TVIS_EXPANDED : 0, TVIS_EXPANDED);
  }
  SyncGlyphs(item, false);
}

HTREEITEM FileTreeView::Insert(HTREEITEM parent, int node) {
  const TreeNode& n = model_->node(node);
  const std::wstring text = win::Wide(n.text);
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<wchar_t*>(text.c_str());
  insert.item.lParam = node;
  // A folder always holds something; the root is openable even without.
  insert.item.cChildren = n.folder ? 1 : 0;
  insert.item.iImage = insert.item.iSelectedImage = n.folder ? kFolderClosed : kFile;
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void FileTreeView::Fill(HTREEITEM item, int node) {
  if (size_t(node) >= filled_.size()) filled_.resize(size_t(node) + 1, false);
  if (filled_[size_t(node)]) return;
  filled_[size_t(node)] = true;
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  for (int child : model_->Children(node)) Insert(item, child);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
}

void FileTreeView::Show(const FileTreeModel* model) {
  model_ = model;
  TreeView_DeleteAllItems(hwnd_);
  filled_.assign(size_t(model->size()), false);
  HTREEITEM root = Insert(TVI_ROOT, 0);
  Fill(root, 0);
  Expand(root, TVE_EXPAND);
  TreeView_SelectItem(hwnd_, root);
}

bool FileTreeView::HandleNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != hwnd_ || !model_) return false;
  *result = 0;
  switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* tv = reinterpret_cast<NMTREEVIEWW*>(header);
      if (tv->action & TVE_EXPAND) Fill(tv->itemNew.hItem, int(tv->itemNew.lParam));
      return true;
    }
    case TVN_ITEMEXPANDEDW: {
      SyncGlyphs(reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.hItem, false);
      return true;
    }
    case NM_CLICK:
    case NM_DBLCLK: {
      TVHITTESTINFO hit = {};
      GetCursorPos(&hit.pt);
      ScreenToClient(hwnd_, &hit.pt);
      TreeView_HitTest(hwnd_, &hit);
      if (!hit.hItem) return true;
      if (hit.flags & TVHT_ONITEMICON) {
        // The glyph is the expander: a click opens or closes the folder.
        Expand(hit.hItem, TVE_TOGGLE);
        *result = 1;
      } else if (header->code == NM_DBLCLK && (hit.flags & TVHT_ONITEMLABEL) &&
                 !(GetKeyState(VK_SHIFT) & 0x8000) && !(GetKeyState(VK_CONTROL) & 0x8000)) {
        if (on_activate) on_activate();
        *result = 1;
      }
      return true;
    }
  }
  return true;
}

}  // namespace kestrum::ui
