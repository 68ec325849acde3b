#include "ui/commands/shown_text.h"

#include "text/cp932.h"
#include "ui/layout/window_texts.h"

std::u32string ShownCharacters(std::string_view cp932) {
  return Cp932ToUtf32(cp932.substr(0, cp932.find('\0')), SubstituteCharacter,
                      ControlBytes::Substitute);
}
