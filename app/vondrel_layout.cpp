// The main window's controls, fonts, layout zoom and placements.
#include "app/vondrel.h"

#include <commctrl.h>

#include "view/file_glyph.h"
#include "i18n/language_code.h"
#include "i18n/language_table.h"
#include "i18n/translate.h"
#include "images/image_list.h"
#include "platform/win_text.h"
#include "ui/gdi_scope.h"
#include "ui/interface_zoom.h"

namespace kestrum {
namespace {

constexpr COLORREF kBodyColor = RGB(240, 240, 240);

// Placements that the start-up sequence changes: without and with description.
struct ListAreaPlacement {
  ControlId id;
  HPlacement h;
  VPlacement compact, described;
};
const ListAreaPlacement kListArea[] = {
    {ControlId::file_counts, HSize(60, 300), Top(116, 20), Top(200, 20)},
    {ControlId::lb_view, Right(228, 76), Top(116, 16), Top(200, 16)},
    {ControlId::opt_view, Right(60, 160), Top(116, 16), Top(200, 16)},
    {ControlId::file_list, HSize(60, 60), VSize(136, 136), VSize(220, 136)},
    {ControlId::file_tree, HSize(60, 60), VSize(136, 136), VSize(220, 136)},
};

UINT WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi && hwnd) return get_dpi(hwnd);
  return UINT(ui::ScreenDpi());
}

// The system's message font at the given DPI.
LOGFONTW MessageFont(UINT dpi) {
  using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto for_dpi = reinterpret_cast<ForDpiFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (for_dpi && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
    return metrics.lfMessageFont;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  const int system_dpi = ui::ScreenDpi();
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, int(dpi), system_dpi);
  return metrics.lfMessageFont;
}

HFONT MakeFont(const wchar_t* face, int pixel_height, bool bold) {
  return CreateFontW(-pixel_height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace

// Layout units follow the interface font at the window's DPI.
void Vondrel::UpdateZoom() {
  dpi_ = WindowDpi(hwnd_);
  zoom_ = ui::InterfaceZoom(MessageFont(dpi_), int(dpi_));
  MakeFonts();
}

void Vondrel::MakeFonts() {
  for (HFONT f : {ui_font_, ui_bold_, name_font_, desc_font_})
    if (f) DeleteObject(f);
  LOGFONTW base = MessageFont(dpi_);
  ui_font_ = CreateFontIndirectW(&base);
  base.lfWeight = FW_BOLD;
  ui_bold_ = CreateFontIndirectW(&base);
  name_font_ = MakeFont(L"Tahoma", Px(16), true);
  desc_font_ = MakeFont(L"Tahoma", Px(12), true);
  if (!controls_[ControlId::language]) return;
  for (int i = 0; i < kControlCount; ++i)
    if (controls_[i]) SendMessageW(controls_[i], WM_SETFONT, WPARAM(ui_font_), FALSE);
  for (HWND option : view_options_) SendMessageW(option, WM_SETFONT, WPARAM(ui_font_), FALSE);
  SendMessageW(controls_[ControlId::arch_name], WM_SETFONT, WPARAM(name_font_), FALSE);
  SendMessageW(controls_[ControlId::arch_size], WM_SETFONT, WPARAM(name_font_), FALSE);
  SendMessageW(controls_[ControlId::lb_desc], WM_SETFONT, WPARAM(desc_font_), FALSE);
  SendMessageW(controls_[ControlId::bt_catalog], WM_SETFONT, WPARAM(ui_bold_), FALSE);
  file_counts_view_.SetBaseFont(ui_font_);
  about_view_.SetBaseFont(ui_font_);
}

void Vondrel::CreateControls() {
  body_brush_ = CreateSolidBrush(kBodyColor);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto make = [&](const wchar_t* cls, DWORD style, DWORD ex_style, int id) {
    return CreateWindowExW(ex_style, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
                           reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
  };
  // The folder glyphs of the tree, and a document glyph for files.
  const Picture& closed = ArchImages().folder_closed();
  const Picture& opened = ArchImages().folder_opened();
  // Scaled with the DPI, like the rest of the window's pictures.
  tree_glyphs_ = ImageList_Create(Px(closed.width), Px(closed.height), ILC_COLOR32, 3, 0);
  const std::vector<uint8_t> file = FileGlyph();
  const Picture file_glyph{kFileGlyphWidth, kFileGlyphHeight, file};
  for (const Picture* p : {&closed, &opened, &file_glyph}) {
    const ui::GdiObject<HBITMAP> b(
        ui::MakeScaledBitmap(p->width, p->height, p->bgra, Px(p->width), Px(p->height)));
    ImageList_Add(tree_glyphs_, b, nullptr);
  }

  // In form order, so later controls lie above earlier ones.
  const LayoutItem* items = CommonLayout();
  for (int i = 0; i < kControlCount; ++i) {
    const LayoutItem& item = items[i];
    const int id = kControlIdBase + i;
    const DWORD align = item.align == TextAlign::kCenter  ? SS_CENTER
                        : item.align == TextAlign::kRight ? SS_RIGHT
                                                          : SS_LEFT;
    switch (item.kind) {
      case ControlKind::kLabel: {
        // Labels beside a field sit on its middle line.
        const bool beside = item.id == ControlId::lb_path || item.id == ControlId::lb_lang ||
                            item.id == ControlId::lb_view;
        controls_[i] =
            make(WC_STATICW, SS_NOPREFIX | SS_ENDELLIPSIS | align | (beside ? SS_CENTERIMAGE : 0),
                 0, id);
        break;
      }
      case ControlKind::kButton:
        controls_[i] = make(
            WC_BUTTONW,
            WS_TABSTOP | (item.id == ControlId::bt_extract ? BS_OWNERDRAW : BS_PUSHBUTTON), 0, id);
        break;
      case ControlKind::kDropList:
        controls_[i] = make(WC_COMBOBOXW, WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, id);
        break;
      case ControlKind::kEdit:
        // Read-only and never focused: the path changes through Browse.
        controls_[i] = make(WC_EDITW, ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE, id);
        break;
      case ControlKind::kProgress:
        controls_[i] = make(PROGRESS_CLASSW, PBS_SMOOTH, 0, id);
        SendMessageW(controls_[i], PBM_SETRANGE32, 0, 100);
        break;
      case ControlKind::kSwitch:
        // A container for the two cases, which are radio buttons of the window.
        view_options_[0] =
            make(WC_BUTTONW, WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, kViewOptionId);
        view_options_[1] = make(WC_BUTTONW, BS_AUTORADIOBUTTON, 0, kViewOptionId + 1);
        SetWindowTextW(view_options_[0], L"Table");
        SetWindowTextW(view_options_[1], L"Explorer");
        break;
      case ControlKind::kArray:
        file_list_view_.Create(hwnd_, id);
        controls_[i] = file_list_view_.hwnd();
        ShowWindow(controls_[i], SW_SHOW);
        break;
      case ControlKind::kTree:
        file_tree_view_.Create(hwnd_, id, tree_glyphs_);
        file_tree_view_.on_activate = [this] { OnExtract(); };
        controls_[i] = file_tree_view_.hwnd();
        ShowWindow(controls_[i], SW_SHOW);
        break;
      case ControlKind::kRichText: {
        if (item.id == ControlId::arch_desc) {
          // The description scrolls when it is longer than its box.
          arch_desc_view_.Create(hwnd_, id, true);
          controls_[i] = arch_desc_view_.hwnd();
        } else {
          // One line over the window's own background.
          ui::RichLabel& label =
              item.id == ControlId::file_counts ? file_counts_view_ : about_view_;
          label.Create(hwnd_, id);
          controls_[i] = label.hwnd();
        }
        ShowWindow(controls_[i], SW_SHOW);
        break;
      }
    }
    if (item.design_text && controls_[i]) SetText(item.id, t_(item.design_text));
  }
  // The size label reaches under the language list: the list stays on top
  // and the label does not paint over its border.
  SetWindowPos(controls_[ControlId::language], HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowLongW(controls_[ControlId::arch_size], GWL_STYLE,
                 GetWindowLongW(controls_[ControlId::arch_size], GWL_STYLE) | WS_CLIPSIBLINGS);
  // "Open catalog" shows the open folder beside its text.
  catalog_glyph_ = ImageList_Create(Px(opened.width), Px(opened.height), ILC_COLOR32, 1, 0);
  const ui::GdiObject<HBITMAP> folder(ui::MakeScaledBitmap(opened.width, opened.height, opened.bgra,
                                                           Px(opened.width), Px(opened.height)));
  ImageList_Add(catalog_glyph_, folder, nullptr);
  BUTTON_IMAGELIST glyph = {catalog_glyph_, {Px(4), 0, 0, 0}, BUTTON_IMAGELIST_ALIGN_LEFT};
  SendMessageW(controls_[ControlId::bt_catalog], BCM_SETIMAGELIST, 0, LPARAM(&glyph));
  arch_desc_view_.SetBackground(kBodyColor);
  finished_view_.Create(hwnd_, kFinishedMessageId);
  MakeFonts();
}

// Without a description its view stays empty; it is hidden too, since it
// would lie over the top of the file views.
void Vondrel::ApplyPlacement(bool with_description) {
  with_description_ = with_description;
  ShowWindow(controls_[ControlId::arch_desc], with_description ? SW_SHOW : SW_HIDE);
  PlaceControls();
}

void Vondrel::PlaceControls() {
  if (!hwnd_ || !controls_[ControlId::language]) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  const LayoutItem* items = CommonLayout();
  HDWP batch = BeginDeferWindowPos(kControlCount + 2);
  const auto put = [&](HWND w, const Rect& r) {
    if (w && batch)
      batch = DeferWindowPos(batch, w, nullptr, r.left, r.top, r.Width(), r.Height(),
                             SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
  };
  for (int i = 0; i < kControlCount; ++i) {
    const ControlId id = items[i].id;
    HPlacement h = items[i].h;
    VPlacement v = items[i].v;
    for (const ListAreaPlacement& p : kListArea) {
      if (p.id != id) continue;
      h = p.h;
      v = with_description_ ? p.described : p.compact;
    }
    // The Extract button is as wide as its face, centred.
    if (id == ControlId::bt_extract)
      h = HCenter(button_image.width() ? button_image.width() : 140, 0);
    Rect r = Place(h, v, client.right, client.bottom, zoom_);
    if (id == ControlId::opt_view) {
      Rect first = r, second = r;
      first.right = second.left = r.left + r.Width() / 2;
      put(view_options_[0], first);
      put(view_options_[1], second);
      continue;
    }
    if (id == ControlId::arch_desc) put(finished_view_.hwnd(), r);
    // A drop list's height is that of its opened list.
    if (items[i].kind == ControlKind::kDropList) r.bottom = r.top + r.Height() * 12;
    put(controls_[i], r);
  }
  if (batch) EndDeferWindowPos(batch);
  file_list_view_.FitColumns();
  // Moved controls draw themselves anew rather than from copied pixels.
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Vondrel::SetText(ControlId id, const std::string& utf8) {
  if (controls_[id]) SetWindowTextW(controls_[id], win::Wide(utf8).c_str());
}

// Switches the interface language and the pictures that go with it.
void Vondrel::SetLang(uint32_t code) {
  const LanguageRow& row = InterfaceLanguage(code);
  SetCurrentLanguage(row.lang);
  const Picture& header = HeaderPicture(row.lang);
  const Picture& face = ButtonFace(row.lang);
  if (archive_.header.banner.empty()) header_image.Set(header.width, header.height, header.bgra);
  button_image.Set(face.width, face.height, face.bgra);
  const Picture& tile = ArchImages().empty();
  empty_tile_.Set(tile.width, tile.height, tile.bgra);
  const Picture& logo = ArchImages().KX_logo();
  logo_.Set(logo.width, logo.height, logo.bgra);
  PlaceControls();
}

}  // namespace kestrum
