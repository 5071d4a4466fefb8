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
  // The root is always openable, even without children.
  insert.item.cChildren = (n.folder && (node == 0 || !n.children.empty())) ? 1 : 0;
  insert.item.iImage = insert.item.iSelectedImage = n.folder ? kFolderClosed : kFile;
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void FileTreeView::Fill(HTREEITEM item, int node) {
  if (filled_[size_t(node)]) return;
  filled_[size_t(node)] = true;
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  for (int child : model_->node(node).children) Insert(item, child);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
}

void FileTreeView::Show(const FileTreeModel* model) {
  model_ = model;
  TreeView_DeleteAllItems(hwnd_);
  filled_.assign(size_t(model->size()), false);
  HTREEITEM root = Insert(TVI_ROOT, 0);
  Fill(root, 0);
  TreeView_Expand(hwnd_, root, TVE_EXPAND);
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
      // The folder glyph shows whether the node is open.
      auto* tv = reinterpret_cast<NMTREEVIEWW*>(header);
      TVITEMW item = {};
      item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
      item.hItem = tv->itemNew.hItem;
      item.iImage = item.iSelectedImage =
          (tv->itemNew.state & TVIS_EXPANDED) ? kFolderOpened : kFolderClosed;
      TreeView_SetItem(hwnd_, &item);
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
        TreeView_Expand(hwnd_, hit.hItem, TVE_TOGGLE);
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
