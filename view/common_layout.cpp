#include "view/common_layout.h"

namespace kestrum {

namespace {
using K = ControlKind;
constexpr TextAlign L = TextAlign::kLeft, C = TextAlign::kCenter;

constexpr LayoutItem kItems[kControlCount] = {
    {language, "language", K::kDropList, nullptr, Right(60, 160), Top(68, 20), L},
    {bt_extract, "bt_extract", K::kButton, nullptr, HCenter(140, -2), Bottom(60, 36), L},
    {bt_browse, "bt_browse", K::kButton, "Browse", Right(60, 80), Bottom(100, 24), L},
    {bt_catalog, "bt_catalog", K::kButton, "Open catalog", Right(400, 140), Bottom(312, 28), L},
    {bt_cancel, "bt_cancel", K::kButton, "Cancel", Right(58, 80), Bottom(12, 24), L},
    {file_counts, "file_counts", K::kRichText, nullptr, HSize(60, 300), Top(200, 20), L},
    {lb_name, "lb_name", K::kLabel, "Archive name", Left(60, 160), Top(68, 20), L},
    {lb_lang, "lb_lang", K::kLabel, "Language:", Right(224, 100), Top(68, 20), C},
    {arch_name, "arch_name", K::kLabel, "Some archive name", HSize(60, 224), Top(88, 24), L},
    {arch_size, "arch_size", K::kLabel, "25.6 Mb", Right(120, 100), Top(88, 24), L},
    {lb_desc, "lb_desc", K::kLabel, "Description", Left(60, 160), Top(116, 20), L},
    {arch_desc, "arch_desc", K::kRichText, nullptr, HSize(60, 60), Top(136, 60), L},
    {file_list, "file_list", K::kArray, nullptr, HSize(60, 60), VSize(220, 132), L},
    {lb_path, "lb_path", K::kLabel, "Path:", Left(60, 36), Bottom(100, 24), C},
    {dir_path, "dir_path", K::kEdit, nullptr, HSize(100, 144), Bottom(100, 24), L},
    {about, "about", K::kRichText, nullptr, Left(62, 168), Bottom(12, 20), L},
    {file_tree, "file_tree", K::kTree, nullptr, Left(60, 480), Top(220, 184), L},
    {lb_view, "lb_view", K::kLabel, "Kind:", Right(224, 28), Top(200, 16), C},
    {opt_view, "opt_view", K::kSwitch, "Table\nExplorer", Right(60, 160), Top(200, 16), L},
    {indicator, "indicator", K::kProgress, nullptr, HSize(60, 60), Bottom(64, 24), L},
};
}  // namespace

const LayoutItem* CommonLayout() {
  return kItems;
}

}  // namespace kestrum
