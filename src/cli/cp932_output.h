// Code page 932 report bytes on their way out of busview-report.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class Encoding { Cp932, Utf8 };

// "cp932" or "utf-8" (any case; "utf8" too).
std::optional<Encoding> EncodingNamed(std::string_view name);

// From a character set name as nl_langinfo(CODESET) gives it: the code page
// 932 family (CP932, SHIFT_JIS, SJIS, WINDOWS-31J) gives Cp932, anything
// else Utf8.
Encoding EncodingOfCodeset(std::string_view codeset);

// The character set of the environment's locale (LC_ALL, LC_CTYPE, LANG).
Encoding LocaleEncoding();

// A report line as it goes out: cut at its first NUL byte, as the window's
// panes show it. Control bytes (below 20h, and 7Fh) would steer a terminal;
// they go out as the window shows them: cp932 as A5h ("･"), utf-8 as
// U+FFFD. Otherwise cp932 writes the bytes as they stand, and utf-8 decodes
// them, each byte that starts no code page 932 character becoming U+FFFD.
std::string EncodeLine(std::string_view line, Encoding encoding);

// Code page 932 bytes as UTF-8 for machine-readable output: cut at the
// first NUL byte, each byte that starts no code page 932 character becoming
// U+FFFD; control characters are kept.
std::string JsonText(std::string_view bytes);
