// The layouts' fonts, with fallbacks where this machine lacks them.
#pragma once

#include <windows.h>

// "ＭＳ Ｐゴシック" at a character height of the layouts (pixels at 120
// DPI) scaled to `dpi`; where it is missing, another proportional Japanese
// Gothic font. The caller deletes it.
HFONT GothicFont(int pixels, UINT dpi);

// "FixedSys" likewise; where it is missing or cannot show Japanese, a
// fixed-pitch Japanese Gothic font.
HFONT FixedFont(int pixels, UINT dpi);
