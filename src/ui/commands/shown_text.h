// Code page 932 bytes as both windows show them in their panes and lists.
#pragma once

#include <string>
#include <string_view>

// Everything before the first NUL byte, decoded character by character; a
// byte that starts no displayable character (an invalid byte, a lone lead
// byte, a control byte) shows as SubstituteCharacter.
std::u32string ShownCharacters(std::string_view cp932);
