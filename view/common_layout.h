// The main window's form: its controls in form order (later ones lie on top),
// their kinds, design texts and placements, on a 600 x 540 layout.
#pragma once

#include "view/placement.h"

namespace kestrum {

constexpr int kLayoutWidth = 600;
constexpr int kLayoutHeight = 540;

enum class ControlKind {
  kDropList,
  kButton,
  kRichText,
  kLabel,
  kArray,
  kEdit,
  kTree,
  kSwitch,
  kProgress
};

enum class ControlId {
  language,
  bt_extract,
  bt_browse,
  bt_catalog,
  bt_cancel,
  file_counts,
  lb_name,
  lb_lang,
  arch_name,
  arch_size,
  lb_desc,
  arch_desc,
  file_list,
  lb_path,
  dir_path,
  about,
  file_tree,
  lb_view,
  opt_view,
  indicator,
};
constexpr int kControlCount = int(ControlId::indicator) + 1;

enum class TextAlign { kLeft, kCenter, kRight };

struct LayoutItem {
  ControlId id;
  const char* name;
  ControlKind kind;
  const char* design_text;  // translated when the form is applied; nullptr: none
  HPlacement h;
  VPlacement v;
  TextAlign align;
};

// All twenty controls, in form order.
const LayoutItem* CommonLayout();

}  // namespace kestrum
