// The sizes of the two windows' layouts that both toolkits draw them with:
// pixels on a screen of 120 pixels per inch, and character heights.
#pragma once

namespace form1_layout {
constexpr int ClientWidth = 513;
constexpr int ClientHeight = 482;
constexpr int WindowLeft = 16;
constexpr int WindowTop = 13;
constexpr int Panel1Height = 225;
constexpr int WindowFontHeight = 15;
constexpr int Memo1FontHeight = 23;
constexpr int Button1FontHeight = 17;
}  // namespace form1_layout

namespace about_box_layout {
constexpr int ClientWidth = 320;
constexpr int ClientHeight = 235;
constexpr int StoredLeft = 243;
constexpr int StoredTop = 108;
constexpr int FontHeight = 15;
}  // namespace about_box_layout
