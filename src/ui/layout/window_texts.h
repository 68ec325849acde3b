// The texts both windows show outside their controls, and the limits of
// their drop-down lists. Texts are UTF-8; busview-report writes the same
// messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The main window's caption, and the title of the plain and failure boxes.
inline constexpr char ApplicationTitle[] = "SCSI情報取得";
// The title of the error box.
inline constexpr char ErrorBoxTitle[] = "ｴﾗｰ";

// The plain box of a detailed display with no adapter chosen.
inline constexpr char NoAdapterChosenText[] = "ホストアダプタをセレクトしてください";
// A list's text that names no integer; "%s" stands for the text (FilledIn).
inline constexpr char NotAnIntegerText[] = "'%s' は整数ではありません";
// What the failure box shows after a failure's message.
inline constexpr char FailureTextEnd[] = ".";

// What stands in for a byte that is not a displayable code page 932
// character (an invalid byte, a lone lead byte, a control byte): one column
// wide in the fixed font, like every single byte.
inline constexpr char16_t SubstituteCharacter = u'\uFF65';

// A list's text field takes at most this many code page 932 bytes; the open
// list shows this many entries at a time.
inline constexpr std::size_t MaxTypedBytes = 255;
inline constexpr int MaxVisibleEntries = 8;

// `pattern` with its "%s" replaced by `text`.
inline std::string FilledIn(std::string_view pattern, std::string_view text) {
  const std::size_t at = pattern.find("%s");
  return std::string(pattern.substr(0, at)).append(text).append(pattern.substr(at + 2));
}
