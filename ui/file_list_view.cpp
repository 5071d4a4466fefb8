#include "ui/file_list_view.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

#include "view/list_columns.h"
#include "view/size_view.h"
#include "platform/win_text.h"

namespace kestrum::ui {

void FileListView::Create(HWND parent, int id) {
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                          0, 0, 10, 10, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                          GetModuleHandleW(nullptr), nullptr);
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void FileListView::SetColumnTitles(const std::wstring (&titles)[4]) {
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = i == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
    column.pszText = const_cast<wchar_t*>(titles[i].c_str());
    column.cx = 100;
    if (has_columns_)
      ListView_SetColumn(hwnd_, i, &column);
    else
      ListView_InsertColumn(hwnd_, i, &column);
  }
  for (int i = 0; i < 4; ++i) titles_[i] = titles[i];
  has_columns_ = true;
  FitColumns();
}

void FileListView::SetRows(size_t count, std::function<Row(size_t)> row_at) {
  row_at_ = std::move(row_at);
  percent_.assign(count, 0);
  ListView_SetItemCountEx(hwnd_, int(count), LVSICF_NOINVALIDATEALL);
}

void FileListView::SetPercent(size_t row, int percent) {
  if (row >= percent_.size() || percent_[row] == percent) return;
  percent_[row] = uint8_t(percent);
  ListView_RedrawItems(hwnd_, int(row), int(row));
}

void FileListView::FitColumns() {
  if (!has_columns_) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  // What each column needs: its title, and for the numbers a wide value too.
  const auto text_width = [&](const wchar_t* text) {
    return ListView_GetStringWidth(hwnd_, text) + 24;
  };
  const int value = text_width(L"1023.99 Kb");
  std::array<int, 4> needs = {};
  for (int i = 0; i < 4; ++i)
    needs[size_t(i)] = std::max(text_width(titles_[i].c_str()), i == 0 ? 0 : value);
  const std::array<int, 4> widths = FitListColumns(int(client.right), needs);
  for (int i = 0; i < 4; ++i) ListView_SetColumnWidth(hwnd_, i, widths[size_t(i)]);
}

bool FileListView::HandleNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != hwnd_) return false;
  *result = 0;
  if (header->code != LVN_GETDISPINFOW) return true;
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
  const size_t row = size_t(info->item.iItem);
  if (!(info->item.mask & LVIF_TEXT) || row >= percent_.size()) return true;
  const SizeView sizes;
  switch (info->item.iSubItem) {
    case 0:
      text_ = row_at_(row).name;
      break;
    case 1:
      text_ = win::Wide(sizes.Format(row_at_(row).size));
      break;
    case 2:
      text_ = win::Wide(sizes.Format(row_at_(row).stored_size));
      break;
    default:
      text_ = std::to_wstring(percent_[row]);
      break;
  }
  if (info->item.pszText && info->item.cchTextMax > 0)
    lstrcpynW(info->item.pszText, text_.c_str(), info->item.cchTextMax);
  return true;
}

}  // namespace kestrum::ui
