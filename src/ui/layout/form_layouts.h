// The two windows' layouts, which both toolkits draw them by: for the
// window and each of its controls, in the order they are made, its name,
// the control it stands in, its place and size, its caption and its hint.
// Places and sizes are pixels on a screen of 120 pixels per inch; texts are
// UTF-8. Each window adds only what its toolkit needs (classes, styles,
// fonts, pictures) and looks the rest up here by name.
#pragma once

#include <span>
#include <stdexcept>
#include <string_view>

#include "ui/layout/version.h"
#include "ui/layout/window_texts.h"

struct LayoutRect {
  int left, top, width, height;
};

struct ControlLayout {
  const char* name;
  // The record the control stands in; null for the window itself.
  const char* parent;
  // A control's place and size in its parent; for the window, where its
  // frame stands and the size of its client area.
  LayoutRect rect;
  const char* caption;  // null: none
  const char* hint;     // null: none
};

inline constexpr ControlLayout Form1Layout[] = {
    {"Form1", nullptr, {16, 13, 513, 482}, ApplicationTitle, nullptr},
    {"Memo1", "Form1", {0, 225, 513, 257}, nullptr, nullptr},
    {"Panel1", "Form1", {0, 0, 513, 225}, nullptr, nullptr},
    {"SpeedButton1", "Panel1", {420, 18, 31, 31}, nullptr, "バージョン情報"},
    {"SpeedButton2", "Panel1", {470, 18, 31, 31}, nullptr, "終了"},
    {"Label1", "Panel1", {8, 64, 118, 15}, "ホストアダプタ情報", nullptr},
    {"Label2", "Panel1", {8, 208, 97, 15}, "SCSI装置情報", nullptr},
    {"GroupBox1", "Panel1", {12, 8, 325, 49}, "表示状態", nullptr},
    {"RadioButton1", "GroupBox1", {20, 20, 61, 21}, "簡易", nullptr},
    {"RadioButton2", "GroupBox1", {90, 20, 55, 21}, "詳細", nullptr},
    {"Button1", "Panel1", {350, 18, 51, 31}, "表示", nullptr},
    {"Memo2", "Panel1", {8, 80, 313, 121}, nullptr, nullptr},
    // The lists stand in the panel, inside the group box's frame.
    {"ComboBox1", "Panel1", {280, 24, 41, 23}, nullptr, "詳細表示のSCSI ID"},
    {"ComboBox2", "Panel1", {160, 24, 113, 23}, nullptr, "詳細表示のホストアダプタ"},
};

inline constexpr ControlLayout AboutBoxLayout[] = {
    {"AboutBox", nullptr, {243, 108, 320, 235}, "ﾊﾞｰｼﾞｮﾝ情報", nullptr},
    {"Panel1", "AboutBox", {10, 10, 295, 161}, nullptr, nullptr},
    {"ProgramIcon", "Panel1", {10, 10, 41, 41}, nullptr, nullptr},
    {"ProductName", "Panel1", {58, 20, 115, 19}, "BUSVIEW.EXE", nullptr},
    {"Version", "Panel1", {58, 49, 101, 19}, VersionLine, nullptr},
    {"Copyright", "Panel1", {10, 78, 228, 18}, "Copyright (C) the busview developers", nullptr},
    {"Comments", "Panel1", {70, 98, 155, 15}, "ご意見・不具合は", nullptr},
    {"Label1", "Panel1", {70, 120, 219, 19}, "busview プロジェクトの issue へ", nullptr},
    {"OKButton", "AboutBox", {118, 179, 80, 41}, "OK", nullptr},
};

// The record named `name`. A name the layout lacks is a slip: it does not
// compile where the lookup is constant, and throws std::logic_error
// elsewhere.
constexpr const ControlLayout& LayoutOf(std::span<const ControlLayout> layout,
                                        std::string_view name) {
  for (const ControlLayout& record : layout) {
    if (name == record.name) return record;
  }
  throw std::logic_error("no control of that name in the layout");
}

// What the windows rely on: the window comes first, names are unique, and
// every control's parent is made before it.
constexpr bool IsWellFormed(std::span<const ControlLayout> layout) {
  if (layout.empty() || layout.front().parent != nullptr) return false;
  for (std::size_t i = 1; i < layout.size(); ++i) {
    if (layout[i].parent == nullptr) return false;
    bool parentBefore = false;
    for (std::size_t j = 0; j < i; ++j) {
      if (std::string_view(layout[j].name) == layout[i].name) return false;
      if (std::string_view(layout[j].name) == layout[i].parent) parentBefore = true;
    }
    if (!parentBefore) return false;
  }
  return true;
}
static_assert(IsWellFormed(Form1Layout));
static_assert(IsWellFormed(AboutBoxLayout));

namespace form1_layout {
inline constexpr LayoutRect Window = Form1Layout[0].rect;
inline constexpr int Panel1Height = LayoutOf(Form1Layout, "Panel1").rect.height;
// Character heights.
constexpr int WindowFontHeight = 15;
constexpr int Memo1FontHeight = 23;
constexpr int Button1FontHeight = 17;
}  // namespace form1_layout

namespace about_box_layout {
inline constexpr LayoutRect Window = AboutBoxLayout[0].rect;
constexpr int FontHeight = 15;
}  // namespace about_box_layout
