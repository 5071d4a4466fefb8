#include "view/common_layout.h"

namespace kestrum {

namespace {
using K = ControlKind;
constexpr TextAlign L = TextAlign::kLeft, C = TextAlign::kCenter, R = TextAlign::kRight;

constexpr LayoutItem kItems[kControlCount] = {
    {ControlId::language, "language", K::kDropList, nullptr, Right(60, 160), Top(68, 20), L},
    {ControlId::bt_extract, "bt_extract", K::kButton, nullptr, HCenter(140, -2), Bottom(60, 36), L},
    {ControlId::bt_browse, "bt_browse", K::kButton, "Browse", Right(60, 80), Bottom(100, 24), L},
    {ControlId::bt_catalog, "bt_catalog", K::kButton, "Open catalog", Right(400, 140),
     Bottom(312, 28), L},
    {ControlId::bt_cancel, "bt_cancel", K::kButton, "Cancel", Right(58, 80), Bottom(12, 24), L},
    {ControlId::file_counts, "file_counts", K::kRichText, nullptr, HSize(60, 300), Top(200, 20), L},
    {ControlId::lb_name, "lb_name", K::kLabel, "Archive name", Left(60, 160), Top(68, 20), L},
    {ControlId::lb_lang, "lb_lang", K::kLabel, "Language:", Right(224, 100), Top(68, 20), C},
    {ControlId::arch_name, "arch_name", K::kLabel, "Some archive name", HSize(60, 224), Top(88, 24),
     L},
    {ControlId::arch_size, "arch_size", K::kLabel, "25.6 Mb", Right(120, 100), Top(88, 24), L},
    {ControlId::lb_desc, "lb_desc", K::kLabel, "Description", Left(60, 160), Top(116, 20), L},
    {ControlId::arch_desc, "arch_desc", K::kRichText, nullptr, HSize(60, 60), Top(136, 60), L},
    {ControlId::file_list, "file_list", K::kArray, nullptr, HSize(60, 60), VSize(220, 132), L},
    // The labels beside a field end at the field and grow to the left, so
    // that a longer translation ("Percorso:", "Ansicht:") is not cut off.
    {ControlId::lb_path, "lb_path", K::kLabel, "Path:", Left(36, 60), Bottom(100, 24), R},
    {ControlId::dir_path, "dir_path", K::kEdit, nullptr, HSize(100, 144), Bottom(100, 24), L},
    {ControlId::about, "about", K::kRichText, nullptr, Left(62, 168), Bottom(12, 20), L},
    {ControlId::file_tree, "file_tree", K::kTree, nullptr, Left(60, 480), Top(220, 184), L},
    {ControlId::lb_view, "lb_view", K::kLabel, "Kind:", Right(228, 76), Top(200, 16), R},
    {ControlId::opt_view, "opt_view", K::kSwitch, "Table\nExplorer", Right(60, 160), Top(200, 16),
     L},
    {ControlId::indicator, "indicator", K::kProgress, nullptr, HSize(60, 60), Bottom(64, 24), L},
};
}  // namespace

const LayoutItem* CommonLayout() {
  return kItems;
}

}  // namespace kestrum
