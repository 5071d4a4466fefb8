// The main window's start-up sequence, its contents and its handlers.
#include "app/vondrel.h"

#include <commctrl.h>

#include "view/archive_reference.h"
#include "view/make_strip.h"
#include "view/size_view.h"
#include "app/version_dlg.h"
#include "app/win_platform.h"
#include "i18n/format.h"
#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"
#include "images/image_list.h"
#include "platform/win_text.h"

namespace kestrum {
namespace {

constexpr wchar_t kWindowClass[] = L"KestrumVondrel";

}  // namespace

Vondrel::Vondrel(UnZipper& archive) : archive_(archive) {
  RegisterOwnClass(kWindowClass, LoadCursorW(nullptr, IDC_ARROW));

  // The window (hidden until Run) with its controls, at the layout size.
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  hwnd_ =
      CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, L"Kestrum", style, CW_USEDEFAULT,
                      CW_USEDEFAULT, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) return;
  UpdateZoom();
  CreateControls();
  RECT r = {0, 0, zoom_.X(kLayoutWidth), zoom_.Y(kLayoutHeight)};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_CONTROLPARENT);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // The bottom band.
  const std::vector<uint8_t> band = MakeStrip(2000);
  strip.Set(2000, kStripHeight, band);

  // Window icons.
  const Picture& min_icon = ArchImages().MinIcon();
  const Picture& max_icon = ArchImages().MaxIcon();
  small_icon_ = ui::MakeIcon(min_icon.width, min_icon.height, min_icon.bgra);
  large_icon_ = ui::MakeIcon(max_icon.width, max_icon.height, max_icon.bgra);
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, LPARAM(small_icon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, LPARAM(large_icon_));

  // Provisional contents from the executable itself.
  wchar_t exe[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
  const wchar_t* file_name = wcsrchr(exe, L'\\');
  SetWindowTextW(controls_[ControlId::arch_name], file_name ? file_name + 1 : exe);
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (GetFileAttributesExW(exe, GetFileExInfoStandard, &attributes))
    SetText(ControlId::arch_size, SizeView().Format(int64_t(attributes.nFileSizeLow) |
                                                    (int64_t(attributes.nFileSizeHigh) << 32)));
  SetText(ControlId::lb_name, t_("Extracting files"));
  SetText(ControlId::lb_lang, t_("Language:"));
  ShowWindow(controls_[ControlId::lb_desc], SW_HIDE);

  // Compact placement, the table hidden, the destination.
  ApplyPlacement(false);
  ShowWindow(file_list_view_.hwnd(), SW_HIDE);
  ShowWindow(controls_[ControlId::indicator], SW_HIDE);
  wchar_t cwd[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(DWORD(std::size(cwd)), cwd);
  SetWindowTextW(controls_[ControlId::dir_path], cwd);
  start_directory_ = win::Utf8(cwd);

  // The nine languages.
  for (const LanguageRow& row : LanguageTable)
    SendMessageW(controls_[ControlId::language], CB_ADDSTRING, 0,
                 LPARAM(win::Wide(row.display_name).c_str()));

  // Focus, the catalog button, the timer, the count.
  ShowWindow(controls_[ControlId::bt_catalog], SW_HIDE);
  SetTimer(hwnd_, kProgressTimer, 1000, nullptr);
  SetFileCounts();

  // The archive.
  load_result_ = archive_.Load();
  if (load_result_ == ST_DONE) FillFromArchive();

  // The view switch starts on the tree.
  SetWindowTextW(view_options_[0], win::Wide(t_("Structure")).c_str());
  SetWindowTextW(view_options_[1], win::Wide(t_("Table")).c_str());
  SendMessageW(view_options_[0], BM_SETCHECK, BST_CHECKED, 0);
  SetText(ControlId::bt_cancel, t_("Cancel"));
  SetText(ControlId::bt_browse, t_("Browse"));

  // Ctrl+I opens the About dialog; the worker's dialogs belong to this window.
  InstallKeyHook();
  SetDialogOwner(hwnd_);

  // The archive reference and the About link.
  archref = MakeArchref(RefRandom(), archive_.header.archive_id);
  about_view_.SetLinkColor(RGB(255, 255, 255));
  about_view_.SetQtf(AboutLinkQtf(archref));
  PlaceControls();
}

Vondrel::~Vondrel() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (HFONT f : {ui_font_, ui_bold_, name_font_, desc_font_, message_font_})
    if (f) DeleteObject(f);
  if (body_brush_) DeleteObject(body_brush_);
  for (HIMAGELIST list : {tree_glyphs_, catalog_glyph_})
    if (list) ImageList_Destroy(list);
  for (HICON icon : {small_icon_, large_icon_})
    if (icon) DestroyIcon(icon);
}

void Vondrel::FillFromArchive() {
  const HeaderRecord& h = archive_.header;
  SetText(ControlId::arch_size, SizeView().Format(int64_t(archive_.file_length)));
  // The archive's language, else the system's (English outside the nine).
  SetLang(h.language ? h.language : CurrentLanguage());
  // The archive's own pictures replace the built-in ones.
  if (!h.icon.empty()) {
    HICON icon = ui::MakeIcon(h.icon.width, h.icon.height, h.icon.bgra);
    if (icon) {
      DestroyIcon(small_icon_);
      small_icon_ = icon;
      SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, LPARAM(small_icon_));
    }
  }
  if (!h.banner.empty()) header_image.Set(h.banner.width, h.banner.height, h.banner.bgra);
  // The list's face shows the interface language; no row becomes its value.
  const LanguageRow& shown = InterfaceLanguage(CurrentLanguage());
  SendMessageW(controls_[ControlId::language], CB_SETCURSEL, WPARAM(&shown - LanguageTable), 0);
  SetText(ControlId::arch_name, archive_.archive_name);
  if (!h.description.empty()) {
    ShowWindow(controls_[ControlId::lb_desc], SW_SHOW);
    ApplyPlacement(true);
    arch_desc_view_.SetQtf(h.description);
  }
  ApplyTexts();
  // Rows and tree read the names from the archive as they are shown.
  file_count = int(archive_.entries.size());
  file_list_view_.SetRows(archive_.entries.size(), [this](size_t i) {
    const ArchiveEntry e = archive_.EntryAt(i);
    return ui::FileListView::Row{win::Wide(archive_.Name(e)), int64_t(e.size),
                                 int64_t(e.stored_size)};
  });
  BuildTree();
  SetFileCounts();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

// The texts that follow the interface language, in the order they are set:
// the table's column titles, then the labels and buttons.
void Vondrel::ApplyTexts() {
  const std::wstring titles[4] = {win::Wide(t_("File in archive")), win::Wide(t_("Real Size")),
                                  win::Wide(t_("Archive Size")), win::Wide(t_("Extract Percent"))};
  file_list_view_.SetColumnTitles(titles);
  SetText(ControlId::lb_name, t_("Extracting files"));
  SetText(ControlId::lb_lang, t_("Language:"));
  SetText(ControlId::lb_desc, t_("Description"));
  SetText(ControlId::lb_view, t_("Kind:"));
  SetText(ControlId::lb_path, t_("Path:"));
  SetText(ControlId::bt_browse, t_("Browse"));
  SetText(ControlId::bt_cancel, t_("Cancel"));
}

void Vondrel::BuildTree() {
  tree_model_.Build(
      archive_.archive_name, archive_.entries.size(),
      [this](size_t i) { return archive_.Name(archive_.EntryAt(i)); }, CurrentLanguage());
  file_tree_view_.Show(&tree_model_);
}

void Vondrel::SetFileCounts() {
  file_counts_view_.SetQtf("[2; " + FormatPattern(t_("Quantity of files in archive: [* %d]]"),
                                                  {std::to_string(file_count)}));
}

// A language picked from the list: pictures and texts switch at once. Texts
// set from the archive (its name, size, description, the tree) stay as they are.
void Vondrel::OnLanguage() {
  const LRESULT picked = SendMessageW(controls_[ControlId::language], CB_GETCURSEL, 0, 0);
  if (picked < 0 || picked >= kLanguageCount) return;
  SetLang(LanguageTable[picked].lang);
  const HeaderRecord& h = archive_.header;
  if (!h.icon.empty()) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, LPARAM(small_icon_));
  if (!h.banner.empty()) header_image.Set(h.banner.width, h.banner.height, h.banner.bgra);
  InvalidateRect(hwnd_, nullptr, FALSE);
  ApplyTexts();
  SetWindowTextW(view_options_[0], win::Wide(t_("Structure")).c_str());
  SetWindowTextW(view_options_[1], win::Wide(t_("Table")).c_str());
  SetFileCounts();
  // From the first change on, the About link leads to the users' page.
  about_view_.SetQtf(std::string("[2; [^") + kServiceSite + "/about/users/^; " +
                     t_("About Kestrum") + "]]");
}

void Vondrel::OnView() {
  const bool table = SendMessageW(view_options_[1], BM_GETCHECK, 0, 0) == BST_CHECKED;
  ShowWindow(file_tree_view_.hwnd(), table ? SW_HIDE : SW_SHOW);
  ShowWindow(file_list_view_.hwnd(), table ? SW_SHOW : SW_HIDE);
}

void Vondrel::Run() {
  if (!hwnd_) return;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetFocus(controls_[ControlId::bt_extract]);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace kestrum
